#pragma once
// A Platform without windows: the batch tool runs the core on it, and tests
// use it (or derive from it) to see what the core asked of the platform.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/raster_canvas.h"

namespace km {

class HeadlessPlatform : public Platform {
 public:
  HeadlessPlatform() : canvas_(&picture_) {}

  void ShowMessage(const std::string& text) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override { return caption_; }
  void SetViewCursor(CursorShape shape) override { cursor_ = shape; }
  void RepaintNow() override;
  void ShowPicture(const Raster& raster) override;
  Canvas& ViewCanvas() override { return canvas_; }
  int ScrollX() const override { return scrollX_; }
  int ScrollY() const override { return scrollY_; }
  void SetScrollX(int x) override;
  void SetScrollY(int y) override;
  void StartTimer() override { timerRunning_ = true; }
  void StopTimer() override { timerRunning_ = false; }
  int AreaChoice() const override { return areaChoice_; }

  // --- what a test or the batch tool sets ---
  // Answers for the next dialogs, in order; an empty queue means Cancel.
  std::deque<std::optional<std::string>> openAnswers;
  std::deque<std::optional<std::string>> saveAnswers;
  // When set, every message is also written to standard error.
  bool echoMessages = false;
  // Called on every caption change and repaint (progress display).
  std::function<void(const std::string&)> onCaption;
  std::function<void()> onRepaint;
  int areaChoice_ = 0;
  int visibleWidth = 471;   // size of the scroll box's visible area
  int visibleHeight = 359;

  // --- what the core did ---
  std::vector<std::string> messages;
  std::vector<FileDialogRequest> openRequests;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<std::string> captions;
  CursorShape cursor_ = CursorShape::Arrow;
  int repaints = 0;
  bool timerRunning_ = false;
  Raster picture_;  // what the image view shows, overlays included
  RasterCanvas canvas_;

 private:
  std::string caption_ = "MainForm";
  int scrollX_ = 0, scrollY_ = 0;
};

}  // namespace km
