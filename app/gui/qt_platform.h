#pragma once
// The platform layer of the desktop application: message boxes and file
// dialogs, the main window's caption, timer and "Area" choice, and the image
// view's picture, canvas, cursor and scroll positions.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "common/platform.h"
#include "common/raster.h"
#include "common/raster_canvas.h"

class QWidget;

namespace km::gui {

class TMainForm;
class TOptionForm;

// A file dialog as Qt shows it: filter pairs converted to Qt name filters.
struct QtFileDialogSpec {
  QStringList nameFilters;  // "Desc (*.a *.b)"
  QString selectedFilter;   // the entry the dialog opens with (may be empty)
  QString fileName;         // proposed file name
  QString directory;        // initial directory; empty: Qt's choice
  bool confirmOverwrite = false;
};

// Converts "Desc|*.a;*.b|Other|*.*" into Qt name filters ("Desc (*.a *.b)",
// "Other (*.*)"). A trailing description without a pattern is dropped.
QStringList ConvertDialogFilter(const std::string& filter);

// Everything that opens a modal dialog. The application uses the real Qt
// dialogs; window tests answer with a fake.
class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  // Message box with an OK button, title "Kel-Morph".
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // The chosen path, or nullopt when the dialog was cancelled.
  virtual std::optional<QString> OpenFile(QWidget* parent, const QtFileDialogSpec& spec) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const QtFileDialogSpec& spec) = 0;
};

// QMessageBox and non-native QFileDialog.
class QtDialogProvider : public DialogProvider {
 public:
  void ShowMessage(QWidget* parent, const QString& text) override;
  std::optional<QString> OpenFile(QWidget* parent, const QtFileDialogSpec& spec) override;
  std::optional<QString> SaveFile(QWidget* parent, const QtFileDialogSpec& spec) override;
};

// Canvas of the image view: draws on the view's copy of the picture and asks
// the view to repaint after every drawing operation.
class ImageCanvas : public Canvas {
 public:
  explicit ImageCanvas(Raster* picture) : canvas_(picture) {}
  void SetView(QWidget* view) { view_ = view; }
  void SetPenMode(PenMode mode) override { canvas_.SetPenMode(mode); }
  void SetPenColour(Rgb colour) override { canvas_.SetPenColour(colour); }
  Rgb PenColour() const override { return canvas_.PenColour(); }
  void MoveTo(int x, int y) override { canvas_.MoveTo(x, y); }
  void LineTo(int x, int y) override;
  void FrameRect(int x1, int y1, int x2, int y2) override;
  void Ellipse(int x1, int y1, int x2, int y2) override;
  PenMode Mode() const { return canvas_.Mode(); }

 private:
  void ScheduleUpdate();
  RasterCanvas canvas_;
  QWidget* view_ = nullptr;
};

class QtPlatform : public Platform {
 public:
  explicit QtPlatform(std::unique_ptr<DialogProvider> dialogs);
  ~QtPlatform() override;

  // Connects the platform to the two windows once they exist.
  void Attach(TMainForm* mainForm, TOptionForm* optionForm);
  DialogProvider& Dialogs() { return *dialogs_; }

  void ShowMessage(const std::string& text) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void SetCaption(const std::string& caption) override;
  std::string Caption() const override;
  void SetViewCursor(CursorShape shape) override;
  void RepaintNow() override;
  void ShowPicture(const Raster& raster) override;
  Canvas& ViewCanvas() override { return canvas_; }
  int ScrollX() const override;
  int ScrollY() const override;
  void SetScrollX(int x) override;
  void SetScrollY(int y) override;
  void StartTimer() override;
  void StopTimer() override;
  int AreaChoice() const override;
  void SettingsChanged() override;

  // The image view's picture (a copy of the working raster plus overlays).
  const Raster& Picture() const { return picture_; }
  const ImageCanvas& ImageViewCanvas() const { return canvas_; }

 private:
  QtFileDialogSpec MakeSpec(const FileDialogRequest& request) const;
  std::optional<std::string> Chosen(const std::optional<QString>& path);
  QWidget* DialogParent() const;

  std::unique_ptr<DialogProvider> dialogs_;
  TMainForm* mainForm_ = nullptr;
  TOptionForm* optionForm_ = nullptr;
  Raster picture_;
  ImageCanvas canvas_;
};

}  // namespace km::gui
