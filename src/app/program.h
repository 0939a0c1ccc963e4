// Start-up: the settings that depend on the user's locale, and the choice of run mode.
#pragma once

namespace quorv {

struct ExportSettings;

// Fills the locale-dependent fields of the settings (date order and separator, number format).
void prepareSettings(ExportSettings &settings);
int programMain(int argc, char **argv);

} // namespace quorv
