#include "common/headless_platform.h"

#include <algorithm>
#include <iostream>

namespace km {

void HeadlessPlatform::ShowMessage(const std::string& text) {
  messages.push_back(text);
  if (echoMessages) std::cerr << text << std::endl;
}

std::optional<std::string> HeadlessPlatform::OpenFileDialog(const FileDialogRequest& request) {
  openRequests.push_back(request);
  if (openAnswers.empty()) return std::nullopt;
  auto answer = openAnswers.front();
  openAnswers.pop_front();
  return answer;
}

std::optional<std::string> HeadlessPlatform::SaveFileDialog(const FileDialogRequest& request) {
  saveRequests.push_back(request);
  if (saveAnswers.empty()) return std::nullopt;
  auto answer = saveAnswers.front();
  saveAnswers.pop_front();
  return answer;
}

void HeadlessPlatform::SetCaption(const std::string& caption) {
  caption_ = caption;
  captions.push_back(caption);
  if (onCaption) onCaption(caption);
}

void HeadlessPlatform::RepaintNow() {
  ++repaints;
  if (onRepaint) onRepaint();
}

void HeadlessPlatform::ShowPicture(const Raster& raster) {
  picture_ = raster;
  canvas_.SetTarget(&picture_);
  canvas_.SetPenColour(Rgb{0, 0, 0});
  canvas_.SetPenMode(PenMode::Copy);
  SetScrollX(scrollX_);
  SetScrollY(scrollY_);
}

void HeadlessPlatform::SetScrollX(int x) {
  scrollX_ = std::clamp(x, 0, std::max(0, picture_.width - visibleWidth));
}

void HeadlessPlatform::SetScrollY(int y) {
  scrollY_ = std::clamp(y, 0, std::max(0, picture_.height - visibleHeight));
}

}  // namespace km
