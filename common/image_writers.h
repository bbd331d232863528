#pragma once
// Writing rasters as image files: JPEG through libjpeg's compressor and
// 24-bit bottom-up BMP. Used to make frames (synthetic scenes, test fixtures).

#include <string>

#include "common/raster.h"

namespace km {

// Throws FileError with the path and the reason when the file cannot be written.
void WriteJpegFile(const std::string& path, const Raster& raster, int quality = 90);
void WriteBmpFile(const std::string& path, const Raster& raster);

}  // namespace km
