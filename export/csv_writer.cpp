#include "export/csv_writer.h"

namespace km {

void WriteRawCsv(std::ostream&, const PointCloudStore&, int) {}

}  // namespace km
