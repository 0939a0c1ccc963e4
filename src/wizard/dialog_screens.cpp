// Pictures of the three dialogs, for the user guide and for checking their layout by eye.
#include <QDialog>
#include <QDir>
#include <QPixmap>

#include "wizard/dialogs.h"

namespace quorv::wizard {

namespace {

bool saveScreen(QDialog &dialog, const QString &path) {
    dialog.show();
    dialog.activateWindow();
    bool ok = dialog.grab().save(path, "PNG");
    dialog.hide();
    return ok;
}

} // namespace

bool saveDialogScreens(const QString &folder, SourceTable &table, ExportSettings &settings,
                       const CommandLineRequest &request) {
    QDir dir(folder);
    bool ok = saveScreen(*makeColumnsDialog(nullptr, table, settings), dir.filePath("dialog_columns.png"));
    ok = saveScreen(*makeFilterDialog(nullptr, table), dir.filePath("dialog_filter.png")) && ok;
    ok = saveScreen(*makeCommandLineDialog(nullptr, request), dir.filePath("dialog_command_line.png")) && ok;
    return ok;
}

} // namespace quorv::wizard
