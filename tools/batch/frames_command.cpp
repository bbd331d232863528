#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int FramesCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'frames' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
