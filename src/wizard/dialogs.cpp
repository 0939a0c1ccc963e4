// Placeholders until the dialogs are built: each does nothing.
#include "wizard/dialogs.h"

namespace quorv::wizard {

bool runColumnsDialog(QWidget *, SourceTable &, ExportSettings &) { return false; }
bool runFilterDialog(QWidget *, SourceTable &) { return false; }
void runCommandLineDialog(QWidget *, const CommandLineRequest &) {}

} // namespace quorv::wizard
