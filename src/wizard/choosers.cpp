#include "wizard/choosers.h"

#include <QColorDialog>
#include <QFileDialog>

namespace quorv::wizard {

namespace {

Choosers &installed() {
    static Choosers choosers;
    return choosers;
}

QString realOpenFile(QWidget *parent, const OpenFileRequest &request) {
    QFileDialog dialog(parent, request.caption, request.folder, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

SaveFileChoice realSaveFile(QWidget *parent, const SaveFileRequest &request) {
    QFileDialog dialog(parent, QStringLiteral("Output file"), request.folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    if (request.filterIndex >= 0 && request.filterIndex < request.filters.size())
        dialog.selectNameFilter(request.filters[request.filterIndex]);
    if (!request.path.isEmpty())
        dialog.selectFile(request.path);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().front(),
            static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter()))};
}

QString realFolder(QWidget *parent, const QString &title, const QString &start) {
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

QColor realColour(QWidget *parent, const QColor &initial) {
    return QColorDialog::getColor(initial, parent, QStringLiteral("Quorvane"));
}

} // namespace

Choosers systemChoosers() {
    return {realOpenFile, realSaveFile, realFolder, realColour};
}

Choosers setChoosers(Choosers choosers) {
    Choosers previous = std::move(installed());
    installed() = std::move(choosers);
    return previous;
}

QString chooseOpenFile(QWidget *parent, const OpenFileRequest &request) {
    return installed().openFile ? installed().openFile(parent, request) : realOpenFile(parent, request);
}

SaveFileChoice chooseSaveFile(QWidget *parent, const SaveFileRequest &request) {
    return installed().saveFile ? installed().saveFile(parent, request) : realSaveFile(parent, request);
}

QString chooseFolder(QWidget *parent, const QString &title, const QString &start) {
    return installed().folder ? installed().folder(parent, title, start) : realFolder(parent, title, start);
}

QColor chooseColour(QWidget *parent, const QColor &initial) {
    return installed().colour ? installed().colour(parent, initial) : realColour(parent, initial);
}

} // namespace quorv::wizard
