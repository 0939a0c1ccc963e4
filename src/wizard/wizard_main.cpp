#include "wizard/wizard_main.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include "app/program.h"
#include "app/settings_store.h"
#include "export/settings.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"

namespace quorv::wizard {

namespace {
bool isSet(const char *name) {
    const char *value = std::getenv(name);
    return value && *value;
}

// While the application connects to the display: a display that cannot be opened ends the program
// with the same advice as a missing one, instead of Qt's abort.
void displayFailure(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return;
    }
    std::fprintf(stderr,
                 "quorv: cannot open the display for the wizard: %s\n"
                 "Convert from the command line instead; see 'quorv --help'.\n",
                 qPrintable(message));
    std::_Exit(2);
}

} // namespace

bool displayAvailable() {
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM");
}

int wizardMain(const char *programPath, const std::string &initialSource) {
    if (!displayAvailable()) {
        std::fputs("quorv: no display to open the wizard on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                   "Convert from the command line instead; see 'quorv --help'.\n",
                   stderr);
        return 2;
    }
    int argc = 1;
    char *argv[] = {const_cast<char *>(programPath), nullptr};
    QtMessageHandler previous = qInstallMessageHandler(displayFailure);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    // Qt takes the user's locale; numbers are still written with a point.
    std::setlocale(LC_NUMERIC, "C");

    return runWizardSessions(initialSource);
}

int runWizardSessions(const std::string &initialSource) {
    ExportSettings settings;
    prepareSettings(settings);
    AppSettings app = loadSettings();
    mergeLastConversion(app);

    QString source =
        initialSource.empty() ? QString() : QFileInfo(fromPath(initialSource)).absoluteFilePath();
    int status = 0;
    bool restart = true;
    while (restart) {
        WizardState state(app, settings);
        ConversionWizard wizard(state, source);
        QApplication::setWindowIcon(wizard.windowIcon());
        wizard.show();
        wizard.exec();
        restart = state.restartWizard;
        status = state.exitStatus;
        source.clear();
    }
    storeSettings(app);
    return status;
}

} // namespace quorv::wizard
