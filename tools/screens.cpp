// Opens every page of the wizard offscreen on a fixture table and saves a PNG of each, with the colour
// buttons and the gauge in the middle of a run: quorv-screens [FOLDER] (default: screens/ of the build).
//
// Each picture is one entry of kScreens; a new dialog gets its own entry (open it, grab it, close it).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/command_compose.h"
#include "app/settings_store.h"
#include "export/settings.h"
#include "fixture/fixtures.h"
#include "wizard/choosers.h"
#include "wizard/dialogs.h"
#include "wizard/message.h"
#include "wizard/option_pages.h"
#include "wizard/progress_gauge.h"
#include "wizard/wizard.h"

using namespace quorv;
using namespace quorv::wizard;

namespace {

struct Context {
    QString folder; // where the pictures go
    QString tables; // a folder of fixture tables
    int saved = 0;
};

bool save(Context &context, QWidget *widget, const char *name) {
    QApplication::processEvents();
    const QString path =
        context.folder + QStringLiteral("/") + QString::fromUtf8(name) + QStringLiteral(".png");
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "quorv-screens: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    ++context.saved;
    return true;
}

// Pictures a modal dialog: open() shows it (and returns when it closes); the dialog is grabbed as soon
// as it is up, then closed. The Columns, Filter and Command Line dialogs are pictured this way.
bool grabDialog(Context &context, const char *name, const std::function<void()> &open) {
    bool ok = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        watch.stop();
        ok = save(context, dialog, name);
        dialog->close();
    });
    watch.start(10);
    open();
    return ok;
}

// A wizard on its own settings, shown offscreen.
struct OpenWizard {
    AppSettings app;
    ExportSettings settings;
    WizardState state{app, settings};
    ConversionWizard wizard{state};

    OpenWizard() {
        settings.viewAfterExport = false;
        wizard.show();
        QApplication::processEvents();
    }
    void choose(const QString &source, const QString &output) {
        wizard.findChild<QComboBox *>(QStringLiteral("sourceBox"))->setEditText(source);
        wizard.findChild<QComboBox *>(QStringLiteral("outputBox"))->setEditText(output);
    }
};

bool pageOne(Context &c) {
    OpenWizard w;
    w.choose(QStringLiteral("customers.db"), QStringLiteral("customers.csv"));
    return save(c, &w.wizard, "page1-main");
}

bool pagesForType(Context &c, const char *extension, const std::vector<const char *> &names) {
    OpenWizard w;
    w.choose(QStringLiteral("customers.db"), QStringLiteral("customers.") + QString::fromUtf8(extension));
    for (const char *name : names) {
        w.wizard.next();
        if (!save(c, &w.wizard, name))
            return false;
    }
    return true;
}

bool batchPages(Context &c) {
    OpenWizard w;
    // The folder button's effect, without its dialog.
    setChoosers({{}, {}, [&](QWidget *, const QString &, const QString &) { return c.tables; }, {}});
    w.wizard.findChild<QPushButton *>(QStringLiteral("sourceFolderButton"))->click();
    setChoosers({});
    w.wizard.findChild<QComboBox *>(QStringLiteral("outputBox"))
        ->setEditText(c.tables + QStringLiteral("/out"));
    if (!save(c, &w.wizard, "page1-folder-batch"))
        return false;
    w.wizard.next();
    return save(c, &w.wizard, "page2-folder-batch");
}

// The real message box of page 1 (the other pictures answer messages on standard error).
bool messageBox(Context &c) {
    OpenWizard w;
    w.choose(QString(), QStringLiteral("customers.csv"));
    MessageHook quiet = setMessageHook({});
    bool ok = grabDialog(c, "message-select-db-file", [&] { w.wizard.next(); });
    setMessageHook(quiet);
    return ok;
}

bool colourButtons(Context &c) {
    OpenWizard w;
    w.choose(QStringLiteral("customers.db"), QStringLiteral("customers.htm"));
    w.wizard.next();
    w.wizard.next();
    auto *text = w.wizard.currentPage()->findChild<QPushButton *>(QStringLiteral("textColour"));
    auto *back = w.wizard.currentPage()->findChild<QPushButton *>(QStringLiteral("backColour"));
    if (!text || !back)
        return false;
    // Two colours chosen as the colour dialog would give them.
    QColor next(128, 0, 32);
    setChoosers(
        {{}, {}, {}, [&](QWidget *, const QColor &) { return std::exchange(next, QColor(255, 244, 200)); }});
    text->click();
    back->click();
    setChoosers({});
    QApplication::processEvents();
    QWidget *page = w.wizard.currentPage();
    const QRect area = text->geometry().united(back->geometry()).adjusted(-text->x() + 4, -6, 12, 6);
    const QString path = c.folder + QStringLiteral("/page4-colour-buttons.png");
    if (!page->grab(area).save(path))
        return false;
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool gaugeMidRun(Context &c) {
    StatusBox box;
    box.resize(400, box.sizeHint().height());
    box.show();
    QApplication::processEvents();
    box.startGauge();
    box.showProgress(42, 100);
    return save(c, &box, "gauge-42");
}

// Page 2 while an Excel export runs: the picture is taken at 40 %, then Cancel is pressed.
bool exportRunning(Context &c) {
    OpenWizard w;
    w.choose(QStringLiteral("orders.db"), QStringLiteral("orders.xlsx"));
    w.wizard.next();
    QApplication::processEvents();
    auto *box = w.wizard.currentPage()->findChild<StatusBox *>(QStringLiteral("statusBox"));
    bool ok = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (box->percent() < 40)
            return;
        watch.stop();
        ok = save(c, &w.wizard, "page2-export-running");
        w.wizard.button(QWizard::CancelButton)->click();
    });
    watch.start(0);
    w.wizard.button(QWizard::FinishButton)->click();
    return ok;
}

// The Columns, Filter and Command Line dialogs, opened by page 2's buttons on the sample table.
bool dialogs(Context &c) {
    OpenWizard w;
    w.choose(QStringLiteral("customers.db"), QStringLiteral("customers.csv"));
    w.wizard.next();
    QWidget *page = w.wizard.currentPage();
    const std::pair<const char *, const char *> buttons[] = {{"columnsButton", "dialog-columns"},
                                                             {"filterButton", "dialog-filter"}};
    for (const auto &[button, name] : buttons) {
        auto *open = page->findChild<QPushButton *>(QString::fromUtf8(button));
        if (!open || !grabDialog(c, name, [&] { open->click(); }))
            return false;
    }
    // The wizard's own request, naming the installed program rather than this tool.
    CommandLineRequest request = w.wizard.commandLineRequest();
    request.programPath = "quorv";
    return grabDialog(c, "dialog-command-line", [&] { runCommandLineDialog(page, request); });
}

const std::vector<std::pair<const char *, std::function<bool(Context &)>>> kScreens = {
    {"main page", pageOne},
    {"CSV pages",
     [](Context &c) {
         return pagesForType(c, "csv", {"page2-common-csv", "page3-text-csv"});
     }},
    {"SQL pages",
     [](Context &c) {
         return pagesForType(c, "sql", {"page2-common-sql", "page3-text-sql"});
     }},
    {"Excel page", [](Context &c) { return pagesForType(c, "xlsx", {"page2-common-xlsx"}); }},
    {"XML page", [](Context &c) { return pagesForType(c, "xml", {"page2-common-xml"}); }},
    {"HTML pages",
     [](Context &c) {
         return pagesForType(c, "htm", {"page2-common-html", "page4-html"});
     }},
    {"colour buttons", colourButtons},
    {"message box", messageBox},
    {"folder batch", batchPages},
    {"gauge", gaugeMidRun},
    {"export running", exportRunning},
    {"dialogs", dialogs},
};

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    Context context;
    context.folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(QUORV_SCREENS_DIR);
    QDir().mkpath(context.folder);
    QTemporaryDir tables;
    context.tables = tables.path();
    std::string error;
    if (!fixture::makeSampleTable((context.tables + QStringLiteral("/customers.db")).toStdString(), &error) ||
        !fixture::makeAllTypesTable((context.tables + QStringLiteral("/alltypes.db")).toStdString(),
                                    &error) ||
        !fixture::makeBigTable((context.tables + QStringLiteral("/orders.db")).toStdString(), 30000, 7,
                               &error)) {
        std::fprintf(stderr, "quorv-screens: %s\n", error.c_str());
        return 1;
    }
    QDir().mkpath(context.tables + QStringLiteral("/out"));
    // Relative names keep the temporary folder's name out of the pictures.
    context.folder = QDir(context.folder).absolutePath();
    QDir::setCurrent(context.tables);
    setMessageHook([](QWidget *, const QString &text, MessageKind) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return true;
    });
    bool ok = true;
    for (const auto &[name, shoot] : kScreens)
        if (!shoot(context)) {
            std::fprintf(stderr, "quorv-screens: %s failed\n", name);
            ok = false;
        }
    return ok ? 0 : 1;
}
