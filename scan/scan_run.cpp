#include "scan/scan_run.h"

namespace km {

void RunScan(Context&) {}

}  // namespace km
