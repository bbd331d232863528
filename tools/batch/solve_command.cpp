#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int SolveCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'solve' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
