#pragma once
// Helpers for the synthetic-scene tests: frames through the JPEG codec and
// the scan's stripe detector compared with the scene's own stripe.

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "app/frame_decoders.h"
#include "common/image_writers.h"
#include "scan/stripe_detection.h"
#include "synth/scene_renderer.h"

namespace km::test {

// A frame as the scan would decode it from a quality-90 JPEG file.
inline Raster ThroughJpeg(const Raster& frame) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("synth_test_" + std::to_string(::getpid()) + ".jpg"))
          .string();
  WriteJpegFile(path, frame, 90);
  Raster decoded;
  const bool ok = DecodeJpegFile(path, decoded);
  std::filesystem::remove(path);
  if (!ok) decoded = Raster();
  return decoded;
}

// How the Slit detector's columns over a rectangle compare with the rows
// where the scene puts the stripe on one solid.
struct DetectionTally {
  int truthRows = 0;      // rows of the rectangle with a stripe on the solid
  int found = 0;          // of those, rows the detector finds within [-4, +1] px
  int missed = 0;         // no stripe found
  int wrong = 0;          // a column outside that window
  double meanOffset = 0;  // detected - true column over the found rows
};

inline DetectionTally TallyDetection(const synth::FrameScene& scene, const Raster& frame,
                                     const PixelRect& rect, int solidIndex) {
  StripeSettings settings;
  settings.centreX = static_cast<float>(scene.CentreColumn());
  StripeTable table;
  const PixelRect area = ClipDetectionRect(OrderedRect(rect), frame);
  DetectStripeRows(frame, area, table, settings);
  DetectionTally tally;
  double offsetSum = 0;
  for (const synth::StripePoint& p : synth::TraceStripePoints(scene)) {
    if (p.solidIndex != solidIndex || p.row < area.y1 || p.row > area.y2) continue;
    ++tally.truthRows;
    const float detected = table.column[static_cast<size_t>(p.row)];
    if (detected < 0) {
      ++tally.missed;
    } else if (detected - p.column < -4 || detected - p.column > 1) {
      ++tally.wrong;
    } else {
      ++tally.found;
      offsetSum += detected - p.column;
    }
  }
  if (tally.found > 0) tally.meanOffset = offsetSum / tally.found;
  return tally;
}

}  // namespace km::test
