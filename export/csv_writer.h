#pragma once
#include <ostream>
#include <string>

#include "scan/point_cloud_store.h"

namespace km {

// Raw point list of profiles 0 to frameCounter.
void WriteRawCsv(std::ostream& out, const PointCloudStore& store, int frameCounter);

}  // namespace km
