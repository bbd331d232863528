#include "app/frame_loading.h"

namespace km {

SequenceName SplitFramePath(const std::string&) { return {}; }
std::string ComposeFramePath(const Context&, int) { return {}; }
bool DecodeFrameFile(Context&, const std::string&, const std::string&) { return false; }
bool LoadSequenceFrame(Context&, int) { return false; }
void LoadFrameCommand(Context&) {}
void LoadFramePath(Context&, const std::string&) {}

}  // namespace km
