// Page 1: the source table (or folder of tables) and the output file (or folder and type).
#pragma once

#include <string>

#include <QWizardPage>

class QComboBox;
class QLabel;
class QPushButton;

namespace quorv::wizard {

struct WizardState;

// The output type named by the extension of a path (the text after the last '.' of its file name
// that has a character after it), compared without regard to case; 0 when none matches.
int outputTypeFromPath(const std::string &path);
// The Save dialog's choice: the path with the type's extension appended unless the path contains it
// already (case-sensitive, anywhere: out.txt.bak keeps its name).
std::string pathWithExtension(const std::string &path, int outputType);

class MainPage : public QWizardPage {
    Q_OBJECT
  public:
    MainPage(WizardState &state, const QString &initialSource, QWidget *parent = nullptr);

    void initializePage() override;
    bool validatePage() override;
    int nextId() const override;

  private slots:
    void browseSource();
    void browseOutput();
    void selectSourceFolder();
    void selectOutputFolder();
    void clearHistoryList();

  private:
    bool validateSingle();
    bool validateBatch();
    void showBatchControls();
    void stay(const QString &message);

    WizardState &state_;
    QString initialSource_;
    QString savedOutputPath_; // the path the Save dialog gave with its type
    QComboBox *sourceBox_;
    QComboBox *outputBox_;
    QPushButton *outputFolderButton_;
    QLabel *exportToLabel_;
    QComboBox *exportToList_;
    QLabel *languageLabel_;
    QComboBox *languageList_;
};

} // namespace quorv::wizard
