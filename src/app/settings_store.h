// The user's settings and the history of recent conversions, kept between runs of both modes in a
// per-user settings file ($XDG_CONFIG_HOME/quorvane/quorv.conf, ~/.config when that is not set).
#pragma once

#include <string>
#include <vector>

namespace quorv {

inline constexpr int kHistorySize = 10;

struct AppSettings {
    std::string sourceFolder;    // SRCPATH
    std::string outputFolder;    // EXPORTPATH
    std::string lastSourcePath;  // LASTSRC
    std::string lastOutputPath;  // LASTEXPORT
    int lastExportType = 0;      // LASTEXPORTTYPE, 0 = none chosen yet
    int language = 0;            // LANG
    // Paired, newest first, at most kHistorySize entries each.
    std::vector<std::string> sourceHistory;
    std::vector<std::string> outputHistory;
};

// The settings file of this user.
std::string settingsFilePath();

// Reads the settings file; a missing or damaged file gives the defaults.
AppSettings loadSettings();

// Wizard start: puts the last conversion in front of the history when it differs from the newest
// pair, and stores the history.
void mergeLastConversion(AppSettings &settings);

// Empties the history, in memory and in the file.
void clearHistory(AppSettings &settings);

// End of a run: writes the single values back (never the history).
void storeSettings(const AppSettings &settings);

// Whether a command line asks for the history to be cleared: "/clearhistory" anywhere in it, in
// any letter case.
bool commandLineClearsHistory(const std::string &commandLine);

// A settings file that cannot be written never fails a run: the store functions above then print
// one note on standard error and go on.

} // namespace quorv
