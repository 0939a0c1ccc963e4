// Placeholder until the settings file is built: defaults, nothing stored.
#include "app/settings_store.h"

namespace quorv {

std::string settingsFilePath() { return {}; }
AppSettings loadSettings() { return {}; }
void mergeLastConversion(AppSettings &) {}
void clearHistory(AppSettings &settings) {
    settings.sourceHistory.clear();
    settings.outputHistory.clear();
}
void storeSettings(const AppSettings &) {}

} // namespace quorv
