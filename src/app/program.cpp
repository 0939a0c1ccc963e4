#include "app/program.h"

#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/settings_store.h"
#include "export/settings.h"
#include "platform/locale.h"

namespace quorv {

void prepareSettings(ExportSettings &settings) {
    platform::LocaleDate date = platform::userLocaleDate();
    settings.dateOrder = date.order;
    settings.dateSeparator = date.separator;
    settings.htmlTextColor = 0x000000;
    settings.htmlBackColor = 0xFFFFFF;
    settings.htmlTextColorText.clear();
    settings.htmlBackColorText.clear();
    setDecimals(settings, settings.decimals);
}

int programMain(int argc, char **argv) {
    CommandLine commandLine = makeCommandLine(argc, argv);
    if (commandLine.args.empty()) {
        // Without arguments the program's entry opens the wizard; here there is nothing to convert.
        std::fputs(usageText().c_str(), stderr);
        return 2;
    }
    if (commandLine.text == "/uninstall") {
        std::printf("To uninstall Quorvane:\n"
                    "- installed from the Debian package (quorvane_*.deb):\n"
                    "    sudo apt remove quorvane\n"
                    "- installed from source with cmake --install, from the build folder BUILD:\n"
                    "    xargs -d '\\n' sudo rm -f < BUILD/install_manifest.txt\n"
                    "- run from its build folder without installing: delete that folder.\n"
                    "Your settings stay in ~/.config/quorvane (or $XDG_CONFIG_HOME/quorvane); delete it to remove them.\n");
        return 0;
    }
    if (commandLine.args.size() == 1) {
        const char *only = commandLine.args[0].c_str();
        if (!std::strcmp(only, "--help") || !std::strcmp(only, "-h") || !std::strcmp(only, "/?")) {
            std::fputs(usageText().c_str(), stdout);
            return 0;
        }
        if (!std::strcmp(only, "--version")) {
            std::printf("quorv %s\n", QUORV_VERSION);
            return 0;
        }
    }

    std::setlocale(LC_ALL, "");
    // Numbers are always written with a point, whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    AppSettings stored = loadSettings();
    if (commandLineClearsHistory(commandLine.text))
        clearHistory(stored);
    ExportSettings settings;
    prepareSettings(settings);
    int status = runCommandLine(commandLine, settings);
    // A command-line run changes none of the stored values: they go back as they were loaded.
    storeSettings(stored);
    return status;
}

} // namespace quorv
