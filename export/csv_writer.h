#pragma once
#include <ostream>
#include <string>

#include "scan/point_cloud_store.h"

namespace km {

// Raw point list of profiles 0 to frameCounter, unthinned: one line
// " x, -y, -z, point, profile" per stored point, each coordinate "%-9.3f"
// (three decimals, left-justified to nine characters), CR LF line ends, "."
// as decimal point whatever the locale. Profiles with lastIndex -1 give no
// line. Indices outside the store are never read: frameCounter is limited to
// the last profile and lastIndex to the last point.
void WriteRawCsv(std::ostream& out, const PointCloudStore& store, int frameCounter);

}  // namespace km
