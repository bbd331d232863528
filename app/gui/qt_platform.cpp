#include "app/gui/qt_platform.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QScrollBar>

#include "app/gui/main_form.h"
#include "app/gui/option_form.h"

namespace km::gui {

QStringList ConvertDialogFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList nameFilters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = parts[i + 1].split(';', Qt::SkipEmptyParts).join(' ');
    nameFilters << QString("%1 (%2)").arg(parts[i], patterns);
  }
  return nameFilters;
}

// --- real dialogs ---

void QtDialogProvider::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, "Kel-Morph", text, QMessageBox::Ok, parent);
  box.exec();
}

namespace {
std::optional<QString> RunFileDialog(QWidget* parent, const QtFileDialogSpec& spec,
                                     QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  if (!spec.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters(spec.nameFilters);
  if (!spec.selectedFilter.isEmpty()) dialog.selectNameFilter(spec.selectedFilter);
  if (!spec.directory.isEmpty()) dialog.setDirectory(spec.directory);
  if (!spec.fileName.isEmpty()) dialog.selectFile(spec.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first();
}
}  // namespace

std::optional<QString> QtDialogProvider::OpenFile(QWidget* parent, const QtFileDialogSpec& spec) {
  return RunFileDialog(parent, spec, QFileDialog::AcceptOpen);
}

std::optional<QString> QtDialogProvider::SaveFile(QWidget* parent, const QtFileDialogSpec& spec) {
  return RunFileDialog(parent, spec, QFileDialog::AcceptSave);
}

// --- canvas ---

void ImageCanvas::ScheduleUpdate() {
  if (view_ != nullptr) view_->update();
}

void ImageCanvas::LineTo(int x, int y) {
  canvas_.LineTo(x, y);
  ScheduleUpdate();
}

void ImageCanvas::FrameRect(int x1, int y1, int x2, int y2) {
  canvas_.FrameRect(x1, y1, x2, y2);
  ScheduleUpdate();
}

void ImageCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  canvas_.Ellipse(x1, y1, x2, y2);
  ScheduleUpdate();
}

// --- platform ---

QtPlatform::QtPlatform(std::unique_ptr<DialogProvider> dialogs)
    : dialogs_(std::move(dialogs)), canvas_(&picture_) {}

QtPlatform::~QtPlatform() = default;

void QtPlatform::Attach(TMainForm* mainForm, TOptionForm* optionForm) {
  mainForm_ = mainForm;
  optionForm_ = optionForm;
  canvas_.SetView(mainForm_ != nullptr ? mainForm_->Image1 : nullptr);
}

QWidget* QtPlatform::DialogParent() const {
  if (QWidget* active = QApplication::activeWindow()) return active;
  return mainForm_;
}

void QtPlatform::ShowMessage(const std::string& text) {
  // The settings window shows what the operation has changed so far.
  SettingsChanged();
  dialogs_->ShowMessage(DialogParent(), QString::fromStdString(text));
}

QtFileDialogSpec QtPlatform::MakeSpec(const FileDialogRequest& request) const {
  QtFileDialogSpec spec;
  spec.nameFilters = ConvertDialogFilter(request.filter);
  if (request.filterIndex >= 1 && request.filterIndex <= spec.nameFilters.size())
    spec.selectedFilter = spec.nameFilters[request.filterIndex - 1];
  spec.fileName = QString::fromStdString(request.fileName);
  spec.directory = QString::fromStdString(request.initialDir);
  spec.confirmOverwrite = request.overwritePrompt;
  return spec;
}

std::optional<std::string> QtPlatform::Chosen(const std::optional<QString>& path) {
  // The chosen path is absolute and the current directory stays as it is:
  // every file is opened by its full path.
  if (!path) return std::nullopt;
  return path->toStdString();
}

std::optional<std::string> QtPlatform::OpenFileDialog(const FileDialogRequest& request) {
  SettingsChanged();
  return Chosen(dialogs_->OpenFile(DialogParent(), MakeSpec(request)));
}

std::optional<std::string> QtPlatform::SaveFileDialog(const FileDialogRequest& request) {
  SettingsChanged();
  return Chosen(dialogs_->SaveFile(DialogParent(), MakeSpec(request)));
}

void QtPlatform::SetCaption(const std::string& caption) {
  if (mainForm_ != nullptr) mainForm_->setWindowTitle(QString::fromStdString(caption));
}

std::string QtPlatform::Caption() const {
  return mainForm_ != nullptr ? mainForm_->windowTitle().toStdString() : std::string();
}

void QtPlatform::SetViewCursor(CursorShape shape) {
  if (mainForm_ == nullptr) return;
  mainForm_->Image1->setCursor(shape == CursorShape::Hourglass ? Qt::WaitCursor : Qt::ArrowCursor);
}

void QtPlatform::RepaintNow() {
  SettingsChanged();
  if (mainForm_ != nullptr) mainForm_->repaint();
}

void QtPlatform::ShowPicture(const Raster& raster) {
  picture_ = raster;
  canvas_.SetPenColour(Rgb{0, 0, 0});
  canvas_.SetPenMode(PenMode::Copy);
  if (mainForm_ == nullptr) return;
  mainForm_->Image1->SetPicture(&picture_);
  // The scroll box follows the new size and keeps its positions in range.
  mainForm_->Image1->resize(picture_.width, picture_.height);
}

int QtPlatform::ScrollX() const {
  return mainForm_ != nullptr ? mainForm_->ScrollBox1->horizontalScrollBar()->value() : 0;
}

int QtPlatform::ScrollY() const {
  return mainForm_ != nullptr ? mainForm_->ScrollBox1->verticalScrollBar()->value() : 0;
}

void QtPlatform::SetScrollX(int x) {
  if (mainForm_ != nullptr) mainForm_->ScrollBox1->horizontalScrollBar()->setValue(x);
}

void QtPlatform::SetScrollY(int y) {
  if (mainForm_ != nullptr) mainForm_->ScrollBox1->verticalScrollBar()->setValue(y);
}

void QtPlatform::StartTimer() {
  if (mainForm_ != nullptr) mainForm_->Timer1->start();
}

void QtPlatform::StopTimer() {
  if (mainForm_ != nullptr) mainForm_->Timer1->stop();
}

int QtPlatform::AreaChoice() const { return mainForm_ != nullptr ? mainForm_->RadioGroup1->Index() : 0; }

void QtPlatform::SettingsChanged() {
  if (optionForm_ != nullptr) optionForm_->Refresh();
}

}  // namespace km::gui
