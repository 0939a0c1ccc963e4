// The conversion wizard: four pages on one QWizard. Page 1 chooses what to convert and where to,
// page 2 sets the common options with a preview of the table, pages 3 (text, CSV, SQL) and 4 (HTML)
// the options of their formats. Finish on the last page runs the export with a gauge and Cancel.
#pragma once

#include <memory>
#include <string>

#include <QWizard>

#include "app/convert_folder.h"
#include "app/settings_store.h"
#include "export/settings.h"

namespace quorv {
struct SourceTable;
struct CommandLineRequest;
} // namespace quorv

namespace quorv::wizard {

class StatusBox;
class PreviewModel;

enum PageId { MainPageId = 0, CommonPageId = 1, TextPageId = 2, HtmlPageId = 3 };

// What the pages share for one opening of the wizard.
struct WizardState {
    AppSettings &app;
    ExportSettings &settings;
    int outputType = 0;       // 0 until chosen or derived on page 1
    bool folderBatch = false; // on once a source folder was picked; stays on
    bool restartWizard = false;
    std::unique_ptr<SourceTable> table; // the current table of a single-table conversion
    FolderBatch batch;                  // the tables of a folder batch
    int exitStatus = 0;                 // 1 when an export failed
    bool exported = false;

    WizardState(AppSettings &a, ExportSettings &s);
    ~WizardState();
    void releaseTables();
    // The table the option pages and dialogs work on: the open table, or an empty one in folder batch.
    SourceTable &currentTable();

  private:
    std::unique_ptr<SourceTable> emptyTable_;
};

class ConversionWizard : public QWizard {
    Q_OBJECT
  public:
    explicit ConversionWizard(WizardState &state, const QString &initialSource = {});

    WizardState &state() { return state_; }
    bool exporting() const { return exporting_; }
    // Runs the conversion of page 1's choice with the gauge on the status box. Returns when it ends.
    void runConversion(StatusBox *statusBox);
    // The command line that repeats the conversion, for the Command Line dialog.
    CommandLineRequest commandLineRequest() const;
    // Chooses the wizard buttons of the current page.
    void updateButtons();

  public slots:
    void reject() override;
    void showHelp();

  private:
    bool exportProgress(StatusBox *statusBox, int position, int loopCount);

    WizardState &state_;
    bool exporting_ = false;
    bool cancelRequested_ = false;
};

// True when the output type is finished on page 2 (every type but text, HTML, CSV and SQL).
bool finishesOnCommonPage(int outputType);

} // namespace quorv::wizard
