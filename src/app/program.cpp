#include "app/program.h"

#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
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
        std::printf("To uninstall Quorvane, remove the program and its files:\n"
                    "  sudo rm /usr/local/bin/quorv\n"
                    "or, when it was installed from a build folder, delete that folder.\n");
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
    ExportSettings settings;
    prepareSettings(settings);
    return runCommandLine(commandLine, settings);
}

} // namespace quorv
