// The Command Line dialog: the command that repeats the conversion, and saving it as a script.
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/command_compose.h"
#include "platform/codepage.h"
#include "platform/system.h"
#include "source/paradox_table.h"
#include "wizard/dialogs.h"
#include "wizard/message.h"

namespace quorv::wizard {

namespace {

SaveFileHook &installedSaveHook() {
    static SaveFileHook hook;
    return hook;
}

QString askSavePath(QWidget *parent, const QString &caption, const QString &suggested,
                    const QString &filter) {
    if (installedSaveHook())
        return installedSaveHook()(parent, caption, suggested, filter);
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

// Beside the output: customers.sh for customers.csv, convert.sh in a folder batch's output folder.
QString suggestedScriptPath(const CommandLineRequest &request) {
    const QString output = QString::fromStdString(request.outputPath);
    if (output.isEmpty())
        return QString();
    if (request.folderBatch)
        return QDir(output).filePath("convert.sh");
    const QFileInfo info(output);
    return info.dir().filePath(info.completeBaseName() + ".sh");
}

// Shown in place of the filter file's path until the script is saved.
const char kFilterPlaceholder[] = "<script>.filter";

class CommandLineDialog : public QDialog {
  public:
    CommandLineDialog(QWidget *parent, const CommandLineRequest &request);

  private:
    void save();
    void showCommand(const std::string &filterPath);

    CommandLineRequest request_;
    std::string programPath_;
    QPlainTextEdit *text_;
    QLabel *saved_;
};

CommandLineDialog::CommandLineDialog(QWidget *parent, const CommandLineRequest &request)
    : QDialog(parent), request_(request),
      programPath_(request.programPath.empty() ? platform::programPath() : request.programPath) {
    setWindowTitle(tr("Command Line"));
    setSizeGripEnabled(true);

    text_ = new QPlainTextEdit(this);
    text_->setObjectName("command");
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    text_->setFont(mono);

    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(tr("This command repeats the conversion without the wizard:"), this);
    layout->addWidget(intro);
    layout->addWidget(text_, 1);

    ComposedCommand command = composeCommand(request_, programPath_, kFilterPlaceholder);
    QStringList notes;
    if (!command.filterFileText.empty())
        notes << tr("The filter conditions will be saved with the script, in a file of the script's name "
                    "with \".filter\" in place of \".sh\"; the command reads them from there.");
    for (const std::string &note : command.notes)
        notes << QString::fromStdString(note);
    auto *noteLabel = new QLabel(notes.join("\n"), this);
    noteLabel->setObjectName("notes");
    noteLabel->setTextFormat(Qt::PlainText);
    noteLabel->setWordWrap(true);
    noteLabel->setVisible(!notes.isEmpty());
    layout->addWidget(noteLabel);

    saved_ = new QLabel(this);
    saved_->setObjectName("saved");
    saved_->setTextFormat(Qt::PlainText);
    saved_->setWordWrap(true);
    saved_->hide();
    layout->addWidget(saved_);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *saveButton = buttons->addButton(tr("Save as script..."), QDialogButtonBox::ActionRole);
    saveButton->setObjectName("saveScript");
    QPushButton *close = buttons->addButton(tr("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName("close");
    close->setDefault(true);
    connect(saveButton, &QPushButton::clicked, this, &CommandLineDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    showCommand(kFilterPlaceholder);
    saveButton->setFocus();
    resize(640, 260);
}

// The command as text to read: paths are UTF-8, but field names are in the table's code page.
QString readableCommand(const std::string &bytes, const SourceTable *table) {
    const int codePage = !table ? 0 : table->oemText ? table->oemCodePage : table->ansiCodePage;
    QString text;
    size_t plain = 0;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        size_t length = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (valid) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes.data() + plain, static_cast<qsizetype>(i - plain));
        text += QString::fromStdString(platform::toUtf8(bytes.substr(i, 1), codePage));
        plain = ++i;
    }
    return text + QString::fromUtf8(bytes.data() + plain, static_cast<qsizetype>(bytes.size() - plain));
}

void CommandLineDialog::showCommand(const std::string &filterPath) {
    text_->setPlainText(
        readableCommand(composeCommandLine(request_, programPath_, filterPath), request_.table));
}

// The dialog stays open after a save, whether it worked or not.
void CommandLineDialog::save() {
    QString chosen =
        askSavePath(this, tr("Save as script"), suggestedScriptPath(request_), tr("Shell scripts (*.sh)"));
    if (chosen.isEmpty())
        return;
    std::string path = scriptPathFor(chosen.toStdString());
    QString shownPath = QString::fromStdString(path);
    // The Save dialog asked about the name as chosen; a name that got ".sh" added is asked about here.
    if (path != chosen.toStdString() && QFileInfo::exists(shownPath) &&
        !showMessage(this, tr("%1 already exists.\nDo you want to replace it?").arg(shownPath),
                     MessageKind::Question))
        return;
    std::string error;
    if (!saveCommandScript(request_, programPath_, path, &error)) {
        showMessage(this, QString::fromStdString(error), MessageKind::Information);
        return;
    }
    showCommand(filterPathForScript(path));
    saved_->setText(tr("Saved as %1").arg(shownPath));
    saved_->show();
}

} // namespace

SaveFileHook setSaveFileHook(SaveFileHook hook) {
    SaveFileHook previous = std::move(installedSaveHook());
    installedSaveHook() = std::move(hook);
    return previous;
}

std::unique_ptr<QDialog> makeCommandLineDialog(QWidget *parent, const CommandLineRequest &request) {
    return std::make_unique<CommandLineDialog>(parent, request);
}

void runCommandLineDialog(QWidget *parent, const CommandLineRequest &request) {
    makeCommandLineDialog(parent, request)->exec();
}

} // namespace quorv::wizard
