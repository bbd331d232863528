#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int CalibrateCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'calibrate' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
