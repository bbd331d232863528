#pragma once
// What the core needs of the windowing platform. The Qt shell implements
// Platform; tests and the batch tool use HeadlessPlatform (or a fake derived
// from it).

#include <optional>
#include <string>

#include "common/raster.h"

namespace km {

enum class PenMode { Copy, NotXor };
enum class CursorShape { Arrow, Hourglass };

// Drawing on the picture shown by the image view (a copy of the working
// raster; the working raster itself is never drawn on). Coordinates are
// pixel columns and rows of the picture; pixels outside it are ignored.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void SetPenMode(PenMode mode) = 0;
  virtual void SetPenColour(Rgb colour) = 0;
  virtual Rgb PenColour() const = 0;
  virtual void MoveTo(int x, int y) = 0;
  // Line from the pen position to (x, y), the end point itself not drawn;
  // the pen position becomes (x, y).
  virtual void LineTo(int x, int y) = 0;
  // Outline of the rectangle with corners (left, top) and (right, bottom),
  // right column and bottom row excluded; corners in any order. Nothing is
  // drawn when the two corners share a column or a row. Every outline pixel
  // is touched once, so a not-xor outline drawn twice restores the picture.
  virtual void FrameRect(int x1, int y1, int x2, int y2) = 0;
  // Outline of the ellipse inscribed in the box (right/bottom excluded),
  // each pixel touched once.
  virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
};

// A file dialog request. filter uses "Description|*.a;*.b|Other|*.*" pairs;
// filterIndex is 1-based as the pair selected when the dialog opens.
struct FileDialogRequest {
  std::string filter;
  int filterIndex = 1;
  std::string fileName;    // proposed file name (may be empty)
  std::string initialDir;  // empty: the platform's choice
  bool overwritePrompt = false;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Message box with an OK button, title "Kel-Morph". Returns when closed.
  virtual void ShowMessage(const std::string& text) = 0;

  // File dialogs: the chosen path, or nullopt when the user cancelled.
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;

  // Main window caption.
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;

  // Pointer shape over the image view.
  virtual void SetViewCursor(CursorShape shape) = 0;

  // Repaint the main window at once (during long operations).
  virtual void RepaintNow() = 0;

  // Replace the image view's picture by a copy of raster and size the view
  // to it. The canvas then draws on that copy; its pen colour becomes black
  // and its pen mode copy.
  virtual void ShowPicture(const Raster& raster) = 0;
  virtual Canvas& ViewCanvas() = 0;

  // Scroll positions of the scroll box (image column / row at its left and
  // top edges); setting keeps them within 0 .. content size - visible size.
  virtual int ScrollX() const = 0;
  virtual int ScrollY() const = 0;
  virtual void SetScrollX(int x) = 0;
  virtual void SetScrollY(int y) = 0;

  // The main window's 10 ms timer.
  virtual void StartTimer() = 0;
  virtual void StopTimer() = 0;

  // Selected item of the main window's "Area" group (0 Scan, 1 Ref).
  virtual int AreaChoice() const = 0;

  // Called after the core changed the settings model, so that a window that
  // shows it can refresh. Default: nothing to refresh.
  virtual void SettingsChanged() {}
};

}  // namespace km
