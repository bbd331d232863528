#include "tools/batch/scene_options.h"

#include <tuple>

#include "tools/batch/batch_support.h"

namespace km::batch {

std::optional<std::string> SceneOptionSet::Read(const QCommandLineParser& parser,
                                                synth::SceneOptions& options) const {
  using namespace km::synth;
  for (const QCommandLineOption* option : {&object, &mode, &frames, &size}) {
    if (parser.values(*option).size() > 1)
      return "--" + option->names().first().toStdString() + " given more than once";
  }
  if (parser.isSet(object)) {
    const std::pair<const char*, SynthObjectKind> objects[] = {{"cylinder", SynthObjectKind::Cylinder},
                                                               {"sphere", SynthObjectKind::Sphere},
                                                               {"vase", SynthObjectKind::Vase},
                                                               {"box", SynthObjectKind::Box}};
    const auto chosen = Choose(parser.value(object), objects);
    if (!chosen) return "--object must be cylinder, sphere, vase or box";
    options.object = *chosen;
  }
  if (parser.isSet(mode)) {
    const std::pair<const char*, SynthMode> modes[] = {
        {"rotation", SynthMode::Rotation}, {"slide", SynthMode::Slide}, {"scan", SynthMode::Scan}};
    const auto chosen = Choose(parser.value(mode), modes);
    if (!chosen) return "--mode must be rotation, slide or scan";
    options.mode = *chosen;
  }
  if (parser.isSet(frames)) {
    bool ok = false;
    options.frames = parser.value(frames).toInt(&ok);
    if (!ok) return "--frames needs a whole number";
    // Zero would ask the scene for its mode's default: refused here.
    if (options.frames < 1 || options.frames > kMaxSceneFrames)
      return "--frames must be 1 to " + std::to_string(kMaxSceneFrames) + ", the most frames one scan takes";
  }
  if (parser.isSet(size)) {
    const auto parsed = ParseSizeArg(parser.value(size));
    if (!parsed) return "--size needs WxH, e.g. 1024x768";
    std::tie(options.width, options.height) = *parsed;
  }
  return std::nullopt;
}

}  // namespace km::batch
