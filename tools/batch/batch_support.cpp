#include "tools/batch/batch_support.h"

#include <QStringList>
#include <cstdio>

namespace km::batch {

std::optional<PixelRect> ParseRectArg(const QString& text) {
  const QStringList parts = text.split(',');
  if (parts.size() != 4) return std::nullopt;
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
  }
  return PixelRect{v[0], v[1], v[2], v[3]};
}

std::optional<std::pair<int, int>> ParseSizeArg(const QString& text) {
  const QStringList parts = text.toLower().split('x');
  if (parts.size() != 2) return std::nullopt;
  bool okW = false, okH = false;
  const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
  if (!okW || !okH || w <= 0 || h <= 0) return std::nullopt;
  return std::make_pair(w, h);
}

int UsageError(const QString& usage, const std::string& message) {
  if (!message.empty()) std::fprintf(stderr, "kelmorph-batch: %s\n", message.c_str());
  std::fputs(usage.toLocal8Bit().constData(), stderr);
  return 1;
}

int Failure(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return 2;
}

std::string PathArg(const QString& arg) { return arg.toLocal8Bit().toStdString(); }

}  // namespace km::batch
