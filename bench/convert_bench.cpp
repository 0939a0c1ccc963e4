// Converts a large fixture table with the real quorv binary and prints records per second and the
// peak memory of each run.
//
//   convert_bench [records] [folder] [output extensions...]     (defaults: 1000000 /tmp csv)
//
// An extension may name its own record count, "xls:65534": that output is made from a table of that
// many records (the same fixture rows, cut short).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "fixture/fixtures.h"

namespace {

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // user and system time: the figure that holds on a busy machine
    long peakKb = 0;
    int status = -1;
};

Run runQuorv(const std::vector<std::string> &args) {
    Run run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        std::string binary = QUORV_BINARY;
        argv.push_back(binary.data());
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

int main(int argc, char **argv) {
    int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    std::string folder = argc > 2 ? argv[2] : "/tmp";
    std::vector<std::string> extensions;
    for (int i = 3; i < argc; ++i)
        extensions.emplace_back(argv[i]);
    if (extensions.empty())
        extensions.emplace_back("csv");

    std::map<int, std::string> tables; // record count -> table
    auto tableOf = [&](int count) -> const std::string & {
        auto it = tables.find(count);
        if (it != tables.end())
            return it->second;
        std::string table = folder + "/bench_" + std::to_string(count) + ".db";
        std::string error;
        auto start = std::chrono::steady_clock::now();
        if (!quorv::fixture::makeBigTable(table, static_cast<uint64_t>(count), 42, &error)) {
            std::fprintf(stderr, "cannot make %s: %s\n", table.c_str(), error.c_str());
            std::exit(1);
        }
        std::printf("table: %s, %d records (made in %.1f s)\n", table.c_str(), count,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return tables[count] = table;
    };

    for (const std::string &arg : extensions) {
        const size_t colon = arg.find(':');
        const std::string ext = arg.substr(0, colon);
        const int count = colon == std::string::npos ? records : std::atoi(arg.c_str() + colon + 1);
        const std::string table = tableOf(count);
        std::string out = folder + "/bench_out." + ext;
        // CSV unsorted and sorted; DBF in its three versions; SQL in its five dialects; XML, in UTF-8, and RSS.
        std::vector<std::pair<std::string, std::string>> variants = {{"unsorted", ""}};
        if (ext == "csv")
            variants.push_back({"sorted", "/SORTBY:Name"});
        if (ext == "dbf")
            variants = {{"dBase III", "/DBASE3"}, {"dBase IV", "/DBASE4"}, {"FoxPro", "/VFP"}};
        if (ext == "xml")
            variants = {{"XML", ""}, {"XML UTF-8", "/utf8"}, {"RSS", "/RSS2"}};
        // HTML: the table layout plain, numbered and in pages of 100,000 records, and the form layout.
        if (ext == "htm")
            variants = {{"table", ""}, {"numbered", "/NUMBER"}, {"paged", "/MAXPERPAGE=100000"}, {"form", "/ASFORM"}};
        if (ext == "sql")
            variants = {{"Ansi", ""}, {"PostgreSQL", "/POSTGRESQL"}, {"MySQL", "/MYSQL"}, {"SQL Server", "/MSSQL"},
                        {"Oracle", "/ORACLE"}};
        for (const auto &[name, flag] : variants) {
            std::vector<std::string> args = {table, out};
            if (!flag.empty())
                args.push_back(flag);
            Run run = runQuorv(args);
            std::printf("%-5s %8d %-10s %8.2f s  %10.0f records/s  cpu %6.2f s  peak %7.1f MB  exit %d\n", ext.c_str(),
                        count, name.c_str(), run.seconds, count / run.seconds, run.cpuSeconds, run.peakKb / 1024.0,
                        run.status);
        }
        std::remove(out.c_str());
        std::remove((folder + "/bench_out_0." + ext).c_str()); // a split part
        for (int page = 1; ext == "htm" && page * 100000 < count; ++page)
            std::remove((folder + "/bench_out" + std::to_string(page) + ".htm").c_str());
    }

    // DBF with a memo file: a tenth of the records, each with a memo text of 100 to 1100 bytes in the .mb.
    bool dbf = false;
    for (const std::string &ext : extensions)
        dbf = dbf || ext.rfind("dbf", 0) == 0;
    if (dbf) {
        const int memoRecords = std::max(records / 10, 1);
        std::string error;
        std::string memoTable = folder + "/bench_memo_" + std::to_string(memoRecords) + ".db";
        quorv::fixture::TableSpec tableLayout;
        tableLayout.fields = {{"Id", quorv::fixture::kLong}, {"Note", quorv::fixture::kMemoBlob, 20}};
        quorv::fixture::TableWriter writer;
        bool made = writer.open(memoTable, tableLayout, &error);
        for (int i = 0; made && i < memoRecords; ++i)
            made = writer.addRecord({quorv::fixture::Cell::integer(i + 1),
                                     quorv::fixture::Cell::text(quorv::fixture::fillText(100 + i % 1000))},
                                    &error);
        if (!made || !writer.close(&error)) {
            std::fprintf(stderr, "cannot make %s: %s\n", memoTable.c_str(), error.c_str());
            return 1;
        }
        std::string out = folder + "/bench_memo_out.dbf";
        for (const char *flag : {"/DBASE3", "/VFP"}) {
            Run run = runQuorv({memoTable, out, flag});
            std::printf("dbf   memo %-7s %6.2f s  %10.0f records/s  peak %7.1f MB  exit %d\n", flag + 1, run.seconds,
                        memoRecords / run.seconds, run.peakKb / 1024.0, run.status);
        }
        for (const char *memo : {".dbf", ".dbt", ".fpt"})
            std::remove((folder + "/bench_memo_out" + memo).c_str());
    }
    for (const auto &entry : tables)
        std::remove(entry.second.c_str());
    return 0;
}
