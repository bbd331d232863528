#include "export/save_command.h"

namespace km {

void SaveModelCommand(Context&) {}

}  // namespace km
