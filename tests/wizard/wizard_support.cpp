#include "wizard/wizard_support.h"

#include <cstdlib>

#include <QComboBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/program.h"
#include "fixture/fixtures.h"
#include "support/test_support.h"
#include "wizard/choosers.h"

namespace quorv::test {

WizardHarness::WizardHarness(AppSettings initial) : app(std::move(initial)) {
    prepareSettings(settings);
    settings.viewAfterExport = false;
    state = std::make_unique<wizard::WizardState>(app, settings);
    previous_ = wizard::setMessageHook([this](QWidget *, const QString &text, wizard::MessageKind) {
        messages << text;
        return answer;
    });
    wizard = std::make_unique<wizard::ConversionWizard>(*state);
    wizard->show();
    QApplication::processEvents();
}

WizardHarness::~WizardHarness() {
    wizard.reset();
    state.reset();
    wizard::setMessageHook(previous_);
}

void WizardHarness::choose(const std::string &source, const std::string &output) {
    findAnywhere<QComboBox>("sourceBox")->setEditText(QString::fromStdString(source));
    findAnywhere<QComboBox>("outputBox")->setEditText(QString::fromStdString(output));
}

void WizardHarness::pickSourceFolder(const std::string &folder) {
    wizard::setChoosers(
        {{},
         {},
         [&](QWidget *, const QString &, const QString &) { return QString::fromStdString(folder); },
         {}});
    findAnywhere<QAbstractButton>("sourceFolderButton")->click();
    wizard::setChoosers({});
}

void WizardHarness::chooseInSaveDialog(const std::string &path, int type) {
    wizard::setChoosers({{},
                         [&](QWidget *, const wizard::SaveFileRequest &request) {
                             EXPECT_EQ(request.filters.size(), kOutputTypeCount - 1);
                             return wizard::SaveFileChoice{QString::fromStdString(path), type - 1};
                         },
                         {},
                         {}});
    findAnywhere<QAbstractButton>("outputBrowse")->click();
    wizard::setChoosers({});
}

bool WizardHarness::next() {
    const int before = wizard->currentId();
    wizard->next();
    QApplication::processEvents();
    return wizard->currentId() != before;
}

void WizardHarness::finish() {
    wizard->button(QWizard::FinishButton)->click();
    QApplication::processEvents();
}

QStringList WizardHarness::shownButtons() const {
    QStringList shown;
    const std::pair<QWizard::WizardButton, const char *> buttons[] = {
        {QWizard::BackButton, "Back"}, {QWizard::NextButton, "Next"}, {QWizard::FinishButton, "Finish"}};
    for (const auto &[which, name] : buttons)
        if (wizard->button(which)->isVisible())
            shown << QString::fromUtf8(name);
    return shown;
}

SampleFolder::SampleFolder(const std::string &name) : table(dir.file(name)) {
    std::string error;
    EXPECT_TRUE(fixture::makeSampleTable(table, &error)) << error;
}

void answerDialog(const std::function<void()> &open, const std::function<void(QDialog &)> &step,
                  bool accept) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answered = true;
        step(*dialog);
        accept ? dialog->accept() : dialog->reject();
    });
    open();
    EXPECT_TRUE(answered) << "no dialog opened";
}

std::string bigTablePath() {
    const char *path = std::getenv("QUORV_WIZARD_BIG_TABLE");
    return path && fileExists(path) ? std::string(path) : std::string();
}

} // namespace quorv::test
