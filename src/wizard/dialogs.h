// The three dialogs that page 2 and the option pages open: Columns, Filter and Command Line.
#pragma once

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

} // namespace quorv::wizard
