#pragma once
// The command-line options that describe a synthetic scene: shared by
// `kelmorph-batch synth` and `kelmorph-batch demo`.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <optional>
#include <string>

#include "synth/synthetic_scene.h"

namespace km::batch {

struct SceneOptionSet {
  QCommandLineOption object{"object", "Object to render.", "KIND"};
  QCommandLineOption mode{"mode", "Scan mode.", "MODE"};
  QCommandLineOption frames{"frames", "Number of frames.", "N"};
  QCommandLineOption size{"size", "Frame size in pixels.", "WxH"};

  void AddTo(QCommandLineParser& parser) const { parser.addOptions({object, mode, frames, size}); }

  // Copies the options that are given into options. Returns the usage
  // error's text, or nothing when every given option is valid.
  std::optional<std::string> Read(const QCommandLineParser& parser, synth::SceneOptions& options) const;
};

// The entry of choices whose name is text exactly.
template <typename Enum, size_t N>
std::optional<Enum> Choose(const QString& text, const std::pair<const char*, Enum> (&choices)[N]) {
  for (const auto& [name, value] : choices) {
    if (text == QLatin1String(name)) return value;
  }
  return std::nullopt;
}

}  // namespace km::batch
