#pragma once
// The settings file: ten text lines holding every parameter and reference
// point of the settings (not the calibrated results), CR LF line ends, "."
// as decimal point whatever the locale.

#include <string>

#include "common/context.h"

namespace km {

// The settings window's SAVE: converts every stored field first (a field that
// is not a number throws ConversionError before any dialog), asks for a file
// name through the platform's save dialog (cancel: nothing happens) and
// writes the file. A file that cannot be written throws FileError with the
// path and the reason; the previous file at that path is then left whole.
void SaveSettingsFile(Context& ctx);

// The settings window's LOAD: asks for a file through the open dialog and
// reads it into the settings, then colours the mode fields. Never reports
// anything: a cancelled dialog or a file that cannot be opened changes
// nothing; reading stops at the first value that does not match the format,
// leaving the controls it would have fed unchanged; a change of mode runs
// the solve in the middle of the load, and an error there ends the load
// silently with what was read so far.
void LoadSettingsFile(Context& ctx);

// The same without dialogs, for the batch tool. WriteSettingsFile converts
// and writes as SaveSettingsFile does (same exceptions). ReadSettingsFile
// reads as LoadSettingsFile does, except that a file that cannot be opened
// throws FileError with the path and the reason.
void WriteSettingsFile(Context& ctx, const std::string& path);
void ReadSettingsFile(Context& ctx, const std::string& path);

}  // namespace km
