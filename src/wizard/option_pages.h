// Pages 2 to 4: the common options with the preview, the text/CSV/SQL options and the HTML options.
#pragma once

#include <QPushButton>
#include <QWizardPage>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace quorv::wizard {

struct WizardState;
class ConversionWizard;
class PreviewModel;
class StatusBox;

// A button that shows a colour, 3 pixels inside its frame.
class ColourButton : public QPushButton {
    Q_OBJECT
  public:
    explicit ColourButton(QWidget *parent = nullptr) : QPushButton(parent) {}
    void setColour(const QColor &colour);
    QColor colour() const { return colour_; }
    QSize sizeHint() const override { return {56, 24}; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QColor colour_;
};

// The part every option page shares: the wizard, Finish running the export, the Command Line button.
class OptionsPage : public QWizardPage {
    Q_OBJECT
  public:
    OptionsPage(WizardState &state, QWidget *parent);
    StatusBox *statusBox() const { return statusBox_; }
    bool validatePage() override;

  protected:
    ConversionWizard *conversionWizard() const;
    // Copies the page's controls into the settings.
    virtual void storeOptions() = 0;
    virtual bool finishesHere() const { return isFinalPage(); }
    QPushButton *commandLineButton();

    WizardState &state_;
    StatusBox *statusBox_;

  private:
    QPushButton *commandLineButton_ = nullptr;
};

class CommonOptionsPage : public OptionsPage {
    Q_OBJECT
  public:
    CommonOptionsPage(WizardState &state, QWidget *parent = nullptr);
    void initializePage() override;
    void cleanupPage() override;
    bool validatePage() override;
    int nextId() const override;
    bool isComplete() const override { return true; }
    PreviewModel *previewModel() const { return model_; }

  protected:
    void storeOptions() override;

  private:
    void fitColumns();
    void fillSortList();
    void applyColumnChoice();
    void toggleOem();

    PreviewModel *model_;
    QTableView *preview_;
    QCheckBox *sortBy_;
    QComboBox *sortField_;
    QCheckBox *reverse_;
    QCheckBox *viewAfter_;
    QCheckBox *rss2_;
    QCheckBox *oem_;
    bool oemFromHeader_ = false;
};

class TextOptionsPage : public OptionsPage {
    Q_OBJECT
  public:
    TextOptionsPage(WizardState &state, QWidget *parent = nullptr);
    void initializePage() override;
    int nextId() const override { return -1; }

  protected:
    void storeOptions() override;

  private:
    QCheckBox *allQuotes_;
    QCheckBox *header_;
    QRadioButton *single_;
    QRadioButton *double_;
    QComboBox *separator_;
    QWidget *sqlLabel_;
    QComboBox *dialect_;
    QCheckBox *addGo_;
    QSpinBox *goEvery_;
    QWidget *goRecords_;
    QCheckBox *viewAfter_;
    QCheckBox *utf8_;
};

class HtmlOptionsPage : public OptionsPage {
    Q_OBJECT
  public:
    HtmlOptionsPage(WizardState &state, QWidget *parent = nullptr);
    void initializePage() override;
    int nextId() const override { return -1; }

  protected:
    void storeOptions() override;

  private:
    QLineEdit *title_;
    QRadioButton *table_;
    QRadioButton *form_;
    QCheckBox *recordNumbers_;
    QCheckBox *maxPerPage_;
    QSpinBox *rowsPerPage_;
    QSpinBox *border_;
    ColourButton *textColour_;
    ColourButton *backColour_;
    QCheckBox *viewAfter_;
};

} // namespace quorv::wizard
