#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int ScanCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'scan' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
