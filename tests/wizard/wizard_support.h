// Drives the wizard offscreen: message boxes answered and recorded, pages reached with next().
#pragma once

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QString>
#include <QStringList>

#include "app/settings_store.h"
#include "export/settings.h"
#include "support/test_support.h"
#include "wizard/message.h"
#include "wizard/wizard.h"

// Google Test shows Qt's strings (and lists of them) as text.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace quorv::test {

class WizardHarness {
  public:
    explicit WizardHarness(AppSettings initial = {});
    ~WizardHarness();

    void choose(const std::string &source, const std::string &output);
    // Picks a source folder as the "Select folder..." button does, through the folder chooser.
    void pickSourceFolder(const std::string &folder);
    // Picks the output in the Save dialog, with the filter of the type. The dialog offers every type
    // but RSS files.
    void chooseInSaveDialog(const std::string &path, int type);
    // Presses Next; true when the wizard moved to another page.
    bool next();
    // Presses Finish (the export runs before this returns).
    void finish();
    // The wizard buttons shown among Back, Next and Finish, by their names.
    QStringList shownButtons() const;

    template <class T> T *find(const char *name) const {
        return wizard->currentPage()->findChild<T *>(QString::fromUtf8(name));
    }
    template <class T> T *findAnywhere(const char *name) const {
        return wizard->findChild<T *>(QString::fromUtf8(name));
    }

    AppSettings app;
    ExportSettings settings;
    std::unique_ptr<wizard::WizardState> state;
    std::unique_ptr<wizard::ConversionWizard> wizard;
    QStringList messages;
    bool answer = true; // the answer to questions

  private:
    wizard::MessageHook previous_;
};

// A fresh folder holding the fixture builder's sample table under the given name.
struct SampleFolder {
    explicit SampleFolder(const std::string &name = "customers.db");
    TempDir dir;
    std::string table;
};

// Runs step on the modal dialog that open() shows, then accepts it (or rejects it).
void answerDialog(const std::function<void()> &open, const std::function<void(QDialog &)> &step,
                  bool accept = true);

// The 1,000,000-record fixture table the test run made, or empty when it is not there.
std::string bigTablePath();

} // namespace quorv::test
