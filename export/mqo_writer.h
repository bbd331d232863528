#pragma once
// Metasequoia text document (MQO) of the thinned model: one object with a
// vertex chunk (X, Y, -Z) and a face chunk of the strip triangles, written
// as (a, b, n).

#include <ostream>
#include <string>

#include "export/thinning.h"

namespace km {

// Writes the whole file to out; every line ends with CR LF.
void WriteMqo(std::ostream& out, const ThinnedProfiles& model);

// Writes the file at path through a temporary file in the same folder.
// Throws FileError with the path and the reason; an existing file is then
// left as it was.
void WriteMqo(const std::string& path, const ThinnedProfiles& model);

}  // namespace km
