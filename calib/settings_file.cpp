#include "calib/settings_file.h"

namespace km {

void SaveSettingsFile(Context&) {}
void LoadSettingsFile(Context&) {}
void WriteSettingsFile(Context&, const std::string&) {}
void ReadSettingsFile(Context&, const std::string&) {}

}  // namespace km
