#pragma once
// VRML 1.0 and 2.0 output of the thinned model: one indexed face set with
// every vertex and every strip triangle. Vertices are written as
// (X, Y, -Z), faces as 0-based (b, a, n).

#include <ostream>
#include <string>

#include "export/thinning.h"

namespace km {

// Writes the whole file (version 1 or 2) to out; every line ends with CR LF.
void WriteVrml(std::ostream& out, const ThinnedProfiles& model, int version);

// Writes the file at path through a temporary file in the same folder.
// Throws FileError with the path and the reason; an existing file is then
// left as it was.
void WriteVrml(const std::string& path, const ThinnedProfiles& model, int version);

}  // namespace km
