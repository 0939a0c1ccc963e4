// The three dialogs that page 2 and the option pages open: Columns, Filter and Command Line.
#pragma once

#include <functional>
#include <memory>

#include <QString>

class QDialog;
class QWidget;

namespace quorv {
struct SourceTable;
struct ExportSettings;
struct CommandLineRequest;
} // namespace quorv

namespace quorv::wizard {

// Chooses, orders and sets the decimals of the exported columns (table.fieldOrder,
// table.fieldExcluded, settings' decimals). Returns true when the user pressed OK.
bool runColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings);

// One condition per field, stored in the table's filter conditions. Returns true on OK.
bool runFilterDialog(QWidget *parent, SourceTable &table);

// Shows the command line that repeats the wizard's conversion and lets the user save it as a script.
void runCommandLineDialog(QWidget *parent, const CommandLineRequest &request);

// The dialogs themselves, not yet shown: the run functions above exec() them; tests and the
// screenshot tool drive them directly. Accepting a Columns or Filter dialog stores its values.
std::unique_ptr<QDialog> makeColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings);
std::unique_ptr<QDialog> makeFilterDialog(QWidget *parent, SourceTable &table);
std::unique_ptr<QDialog> makeCommandLineDialog(QWidget *parent, const CommandLineRequest &request);

// Asks where to save the script, starting at the suggested path: the chosen path, or an empty text
// when the user cancelled.
using SaveFileHook = std::function<QString(QWidget *parent, const QString &caption, const QString &suggested,
                                           const QString &filter)>;
// Replaces the Save dialog (an empty hook restores it). Returns the hook it replaced.
SaveFileHook setSaveFileHook(SaveFileHook hook);

// Shows each of the three dialogs on the table and saves what it looks like as dialog_columns.png,
// dialog_filter.png and dialog_command_line.png in folder. False when a picture cannot be saved.
bool saveDialogScreens(const QString &folder, SourceTable &table, ExportSettings &settings,
                       const CommandLineRequest &request);

} // namespace quorv::wizard
