// The wizard mode of the program: `quorv` without arguments, or `quorv --wizard [TABLE.db]`.
#pragma once

#include <string>

namespace quorv::wizard {

// Whether a window can be opened: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool displayAvailable();

// Opens the wizard (again while it asks for a restart) and returns the exit status: 0, 1 when the
// export failed, 2 when there is no display. initialSource fills the source box.
int wizardMain(const char *programPath, const std::string &initialSource);

// The wizard mode inside a running application: loads the settings, merges the last conversion into
// the history, opens the wizard as often as it asks, then stores the settings. Returns the exit status.
int runWizardSessions(const std::string &initialSource);

} // namespace quorv::wizard
