// The file, folder and colour choosers of the wizard. Each goes through a replaceable function, so
// tests answer them without a real dialog (like setMessageHook for the message boxes).
#pragma once

#include <functional>

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

namespace quorv::wizard {

// The chosen path, or empty when the user cancelled.
struct OpenFileRequest {
    QString caption;
    QString folder; // the folder the dialog starts in, may be empty
    QString filter; // "Paradox files (*.db *.DB)"
};

struct SaveFileRequest {
    QString folder;
    QString path;        // the file name shown at the start
    QStringList filters; // one entry per output type, in type order
    int filterIndex = 0; // 0-based position of the filter shown at the start
};
struct SaveFileChoice {
    QString path;         // empty when cancelled
    int filterIndex = -1; // 0-based position of the chosen filter
};

struct Choosers {
    std::function<QString(QWidget *, const OpenFileRequest &)> openFile;
    std::function<SaveFileChoice(QWidget *, const SaveFileRequest &)> saveFile;
    std::function<QString(QWidget *, const QString &title, const QString &start)> folder;
    // An invalid colour when cancelled.
    std::function<QColor(QWidget *, const QColor &initial)> colour;
};

// The real dialogs.
Choosers systemChoosers();
// Replaces the choosers (a member left empty keeps the real dialog); returns the ones it replaced.
Choosers setChoosers(Choosers choosers);

QString chooseOpenFile(QWidget *parent, const OpenFileRequest &request);
SaveFileChoice chooseSaveFile(QWidget *parent, const SaveFileRequest &request);
QString chooseFolder(QWidget *parent, const QString &title, const QString &start);
QColor chooseColour(QWidget *parent, const QColor &initial);

} // namespace quorv::wizard
