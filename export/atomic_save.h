#pragma once
// Saving a file so that a failure never leaves a half-written target.

#include <functional>
#include <ostream>
#include <string>

namespace km {

// Runs write on a stream into a new temporary file in path's folder, then
// renames it over path. When the temporary file cannot be created, a write
// or the rename fails, or write throws, the temporary file is removed and
// an existing file at path stays as it was; the failure is thrown as
// FileError "path: reason" (an exception from write itself passes through
// unchanged). A new file gets the permissions the process's umask allows,
// a replaced file keeps its own.
void SaveFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);

}  // namespace km
