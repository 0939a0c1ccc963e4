// The settings file: history rules, values that need escapes, damaged files, several runs storing at
// once, and what command-line runs of the real quorv binary do with it. Every test has its own
// XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settings_store.h"
#include "support/reader_check.h"

using namespace quorv;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs historyOf(const AppSettings &s) {
    Pairs pairs;
    for (size_t i = 0; i < s.sourceHistory.size(); ++i)
        pairs.emplace_back(s.sourceHistory[i], i < s.outputHistory.size() ? s.outputHistory[i] : "<missing>");
    return pairs;
}

// The settings text of a history, newest first.
std::string historyText(const Pairs &pairs, const std::string &recents = "") {
    std::string text = "RECENTS=" + (recents.empty() ? std::to_string(pairs.size()) : recents) + "\n";
    for (size_t i = 0; i < pairs.size(); ++i)
        text += "SRC" + std::to_string(i) + "=" + pairs[i].first + "\nDST" + std::to_string(i) + "=" +
                pairs[i].second + "\n";
    return text;
}

Pairs numberedPairs(int from, int to) {
    Pairs pairs;
    for (int i = from; i < to; ++i)
        pairs.emplace_back("/src/t" + std::to_string(i) + ".db", "/out/t" + std::to_string(i) + ".csv");
    return pairs;
}

Pairs prepend(const std::pair<std::string, std::string> &pair, Pairs pairs) {
    pairs.insert(pairs.begin(), pair);
    return pairs;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    std::string file() const { return dir.file("quorvane/quorv.conf"); }
    void writeSettings(const std::string &text) {
        std::filesystem::create_directories(dir.file("quorvane"));
        test::writeFile(file(), text);
    }
    test::TempDir dir;
};

} // namespace

TEST_F(SettingsFile, FirstRunGivesDefaultsAndTheWizardStartStoresRecents) {
    AppSettings s = loadSettings();
    storeSettings(s); // nothing changed: nothing is written, not even a lock file
    EXPECT_FALSE(std::filesystem::exists(dir.file("quorvane")));
    mergeLastConversion(s);
    EXPECT_NE(test::readFile(file()).find("\nRECENTS=0\n"), std::string::npos);
}

TEST(SettingsFilePath, FollowsXdgConfigHome) {
    const std::pair<const char *, const char *> cases[] = {
        // XDG_CONFIG_HOME (nullptr: not set), the path; HOME=/home/u
        {"/cfg", "/cfg/quorvane/quorv.conf"},
        {nullptr, "/home/u/.config/quorvane/quorv.conf"},
        {"relative/cfg", "/home/u/.config/quorvane/quorv.conf"}, // only an absolute path counts
    };
    std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", "/home/u", 1);
    for (const auto &[xdg, path] : cases) {
        xdg ? setenv("XDG_CONFIG_HOME", xdg, 1) : unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(settingsFilePath(), path) << (xdg ? xdg : "(not set)");
    }
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", home.c_str(), 1);
}

TEST_F(SettingsFile, MergeOfTheLastConversion) {
    Pairs three = numberedPairs(0, 3), ten = numberedPairs(0, 10);
    Pairs five = numberedPairs(0, 5);
    const struct {
        const char *what;
        std::string file;
        Pairs expected;
    } cases[] = {
        {"no LASTSRC: unchanged", historyText(three) + "LASTEXPORT=/out/x.csv\n", three},
        {"equal to the newest pair: unchanged",
         historyText(three) + "LASTSRC=" + three[0].first + "\nLASTEXPORT=" + three[0].second + "\n", three},
        {"equal to pair 3 only: a new entry 0, the old pair stays",
         historyText(five) + "LASTSRC=" + five[3].first + "\nLASTEXPORT=" + five[3].second + "\n",
         prepend(five[3], five)},
        {"same source, another output: a new pair",
         historyText(three) + "LASTSRC=" + three[0].first + "\nLASTEXPORT=/out/other.txt\n",
         prepend({three[0].first, "/out/other.txt"}, three)},
        {"ten pairs and one more: the oldest falls off",
         historyText(ten) + "LASTSRC=/new.db\nLASTEXPORT=/new.csv\n",
         prepend({"/new.db", "/new.csv"}, numberedPairs(0, 9))},
        {"empty history", "LASTSRC=/a.db\nLASTEXPORT=\n", {{"/a.db", ""}}},
        {"RECENTS above 10 is 10", historyText(ten, "2147483648"), ten},
        {"RECENTS below 0 is 0", historyText(three, "-1"), {}},
    };
    for (const auto &c : cases) {
        writeSettings(c.file);
        AppSettings s = loadSettings();
        mergeLastConversion(s);
        EXPECT_EQ(historyOf(s), c.expected) << c.what;
        AppSettings again = loadSettings();
        EXPECT_EQ(historyOf(again), c.expected) << c.what << "\n" << test::readFile(file());
        EXPECT_NE(test::readFile(file()).find("RECENTS=" + std::to_string(c.expected.size()) + "\n"),
                  std::string::npos)
            << c.what;
    }
}

TEST_F(SettingsFile, EveryPathComesBackIntact) {
    const std::string values[] = {
        "line\nbreak and\r\ncarriage return",
        "C:\\data\\new\\x41.db",             // backslashes, and text that looks like escapes
        "  blanks at both ends  ",
        "tab\there=equals # hash ; semicolon [section]",
        "\x01\x1f\x7f control bytes",
        "Gr\xC3\xBC\xC3\x9F" "e UTF-8 and raw \xE9\xFF bytes",
        std::string(2000, 'p') + "/long.db", // longer than any fixed buffer
        "\\",
        "",
    };
    for (const std::string &value : values) {
        AppSettings s;
        s.sourceFolder = value, s.lastSourcePath = value + ".db";
        s.lastOutputPath = "x";
        storeSettings(s);
        mergeLastConversion(s);
        AppSettings back = loadSettings();
        EXPECT_EQ(back.sourceFolder, value);
        EXPECT_EQ(back.lastSourcePath, value + ".db");
        ASSERT_FALSE(back.sourceHistory.empty());
        EXPECT_EQ(back.sourceHistory[0], value + ".db");
        std::remove(file().c_str());
    }
}

TEST_F(SettingsFile, DamagedFilesGiveDefaultsAndAreRepairedByTheNextStore) {
    struct Case {
        const char *what;
        std::string file;
        std::string sourceFolder; // what survives
        int language;
    } cases[] = {
        {"binary garbage", std::string("\x00\xFF\x01", 3) + "SRCPATH=/x" + std::string(1, '\0') + "\n\xFELANG", "", 0},
        {"a line cut short", "SRCPATH=/kept\nLANG", "/kept", 0},
        {"numbers that do not fit", "LANG=99999999999999999999999\nLASTEXPORTTYPE=-5\nSRCPATH=/kept", "/kept", 0},
        {"names in any case, blanks around", "  srcpath =  /kept  \r\nLang=1\r\n", "/kept", 1},
        {"a bad escape is kept", "SRCPATH=/a\\qb\\x4\n", "/a\\qb\\x4", 0},
    };
    for (const auto &c : cases) {
        writeSettings(c.file);
        AppSettings s = loadSettings();
        EXPECT_EQ(s.sourceFolder, c.sourceFolder) << c.what;
        EXPECT_EQ(s.language, c.language) << c.what;
        EXPECT_EQ(s.lastExportType, 0) << c.what;
        s.outputFolder = "/repaired";
        storeSettings(s);
        AppSettings again = loadSettings();
        EXPECT_EQ(again.outputFolder, "/repaired") << c.what;
        EXPECT_EQ(again.sourceFolder, c.sourceFolder) << c.what;
    }
    // A folder where the file should be: defaults, and a store that cannot write says so and goes on.
    std::filesystem::remove(file());
    std::filesystem::create_directories(file());
    EXPECT_EQ(loadSettings().sourceFolder, "");
    AppSettings s;
    s.sourceFolder = "/x";
    testing::internal::CaptureStderr();
    storeSettings(s);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the settings were not saved"), std::string::npos);
}

TEST_F(SettingsFile, UnknownLinesAndALinkedFileAreKept) {
    test::TempDir elsewhere;
    test::writeFile(elsewhere.file("real.conf"), "# my notes\nFUTURE=keep me\nSRCPATH=/old\n");
    std::filesystem::create_directories(dir.file("quorvane"));
    std::filesystem::create_symlink(elsewhere.file("real.conf"), file());
    AppSettings s = loadSettings();
    s.sourceFolder = "/new";
    storeSettings(s);
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    std::string text = test::readFile(elsewhere.file("real.conf"));
    EXPECT_EQ(text.rfind("# my notes\nFUTURE=keep me\nSRCPATH=/new\n", 0), 0u) << text;
}

// Several processes store at once, some the single values, one the history: every read sees a whole
// file holding values one of them wrote, and at the end nothing any of them wrote last is lost.
TEST_F(SettingsFile, SeveralRunsStoringAtOnce) {
    const int writers = 3, rounds = 40;
    std::vector<pid_t> children;
    for (int w = 0; w <= writers; ++w) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0; i < rounds; ++i) {
                AppSettings s;
                std::string value = "/w" + std::to_string(w) + "/round" + std::to_string(i);
                if (w == writers) { // the history writer
                    s.lastSourcePath = value;
                    mergeLastConversion(s);
                } else {
                    s.sourceFolder = s.outputFolder = value;
                    s.language = 1;
                    storeSettings(s);
                }
            }
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        children.push_back(pid);
    }
    bool running = true;
    while (running) {
        AppSettings s = loadSettings();
        // One store writes both folders: a torn or mixed file would show two different values.
        EXPECT_EQ(s.sourceFolder, s.outputFolder);
        if (!s.sourceFolder.empty()) {
            EXPECT_EQ(s.sourceFolder.rfind("/w", 0), 0u) << s.sourceFolder;
        }
        running = false;
        for (pid_t pid : children)
            running = running || waitpid(pid, nullptr, WNOHANG) == 0; // reaps the ones that ended
    }
    AppSettings last = loadSettings();
    EXPECT_EQ(last.sourceFolder.substr(last.sourceFolder.find("/round")), "/round" + std::to_string(rounds - 1));
    ASSERT_EQ(last.sourceHistory.size(), 1u); // each merge starts from an empty history
    EXPECT_EQ(last.sourceHistory[0], "/w" + std::to_string(writers) + "/round" + std::to_string(rounds - 1));
    EXPECT_EQ(last.language, 1);
    std::set<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(dir.file("quorvane")))
        left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"quorv.conf", "quorv.conf.lock"})) << "temporary files left behind";
}

// The real program: command-line runs load the file, clear the history when asked, and store the
// single values back unchanged.
TEST_F(SettingsFile, CommandLineRuns) {
    test::makeTable(dir.file("t.db"), {{"Name", PxChar, 10}}, {{fixture::Cell::text("a")}});
    const std::string single = "# kept\nSRCPATH=/s\nEXPORTPATH=/e\nLASTSRC=/l.db\nLASTEXPORT=/l.csv\n"
                               "LASTEXPORTTYPE=10\nLANG=1\n";
    const std::string before = single + historyText(numberedPairs(0, 3)), cleared = single + "RECENTS=0\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string after;
    } cases[] = {
        {{"t.db", "t.csv"}, 0, before},
        {{"t.db", "t.csv", "/CLEARHISTORY"}, 0, cleared},
        {{"t.db t.csv /ClearHistory"}, 0, cleared}, // the whole command line as one argument
        {{"/clearhistory"}, 2, cleared},            // cleared, then no table to convert
    };
    for (const auto &c : cases) {
        writeSettings(before);
        test::RunResult r = test::runQuorv(dir.path(), c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << r.err;
        EXPECT_EQ(test::readFile(file()), c.after) << c.args.back();
    }
    EXPECT_NE(test::runProgram({test::quorvBinary(), "--help"}).out.find("/clearhistory"), std::string::npos);

    // A settings folder that cannot be made: the conversion still succeeds, with a note.
    test::writeFile(dir.file("plain"), "");
    test::RunResult r = test::runProgram({test::quorvBinary(), "t.db", "u.csv", "/clearhistory"}, dir.path(), -1,
                                         {"XDG_CONFIG_HOME=" + dir.file("plain")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(test::fileExists(dir.file("u.csv")));
    EXPECT_NE(r.err.find("the settings were not saved: " + dir.file("plain") + "/quorvane/quorv.conf: "),
              std::string::npos)
        << r.err;
}
