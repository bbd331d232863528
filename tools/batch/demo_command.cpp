#include <cstdio>

#include "tools/batch/commands.h"

namespace km::batch {

int DemoCommand(const QStringList&) {
  std::fprintf(stderr, "kelmorph-batch: 'demo' is not available in this build\n");
  return 1;
}

}  // namespace km::batch
