// Drives the wizard offscreen: message boxes answered and recorded, pages reached with next().
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <QStringList>

#include "app/settings_store.h"
#include "export/settings.h"
#include "wizard/message.h"
#include "wizard/wizard.h"

namespace quorv::test {

class WizardHarness {
  public:
    explicit WizardHarness(AppSettings initial = {});
    ~WizardHarness();

    void choose(const std::string &source, const std::string &output);
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

// The 1,000,000-record fixture table the test run made, or empty when it is not there.
std::string bigTablePath();

} // namespace quorv::test
