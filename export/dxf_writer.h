#pragma once
// DXF output of the thinned model: one ENTITIES section with a 3DFACE per
// strip triangle. The third corner is repeated as the fourth (group codes
// 13/23/33), which is how DXF states a triangle.

#include <ostream>
#include <string>

#include "export/thinning.h"

namespace km {

// Writes the whole file to out; every line ends with CR LF.
void WriteDxf(std::ostream& out, const ThinnedProfiles& model);

// Writes the file at path through a temporary file in the same folder.
// Throws FileError with the path and the reason; an existing file is then
// left as it was.
void WriteDxf(const std::string& path, const ThinnedProfiles& model);

}  // namespace km
