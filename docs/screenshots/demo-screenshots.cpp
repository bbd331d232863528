// Takes the window screenshots of docs/DEMO.md: runs the desktop shell on a
// demo folder (written by `kelmorph-batch demo DIR`) and presses its buttons
// through their handlers, as a user would, with the file dialogs answered
// from a script. Grabs
//   OUT/demo-ref-read.png  the main window on Ref.jpg after Ref_read, with
//                          the settings window beside it
//   OUT/demo-scan.png      the main window after SCAN: the last frame and its trace
// Built and run by demo-screenshots.sh; not part of the build.
//   demo-screenshots DIR OUT

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "app/gui/kelmorph_application.h"
#include "app/gui/shell.h"

namespace {

using km::gui::QtFileDialogSpec;

// Answers the file dialogs from a queue; message boxes go to stderr.
class ScriptedDialogs : public km::gui::DialogProvider {
 public:
  std::deque<QString> answers;

  void ShowMessage(QWidget*, const QString& text) override {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
  }
  std::optional<QString> OpenFile(QWidget*, const QtFileDialogSpec&) override { return Next(); }
  std::optional<QString> SaveFile(QWidget*, const QtFileDialogSpec&) override { return Next(); }

 private:
  std::optional<QString> Next() {
    if (answers.empty()) return std::nullopt;
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

km::PixelRect RectFrom(const QJsonObject& o) {
  return {o["x1"].toInt(), o["y1"].toInt(), o["x2"].toInt(), o["y2"].toInt()};
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// Scrolls the view so that the rectangle sits in it, then drags from its
// first corner to its second with Area at `area` (0 Scan, 1 Ref).
void Drag(km::gui::Shell& shell, const km::PixelRect& r, int area) {
  km::gui::TMainForm& form = shell.MainForm;
  form.RadioGroup1->SetIndex(area);
  form.ScrollBox1->horizontalScrollBar()->setValue(r.x1 - 40);
  form.ScrollBox1->verticalScrollBar()->setValue(r.y1 - 40);
  Settle();
  form.Image1MouseDown(r.x1, r.y1);
  form.Image1MouseMove((r.x1 + r.x2) / 2, (r.y1 + r.y2) / 2);
  form.Image1MouseMove(r.x2, r.y2);
  form.Image1MouseUp(r.x2, r.y2);
  Settle();
}

QImage Grab(QWidget& widget) {
  Settle();
  return widget.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: demo-screenshots DEMO_DIR OUT_DIR\n");
    return 1;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  const QString out = QString::fromLocal8Bit(argv[2]);
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  km::gui::KelMorphApplication app(qtArgc, qtArgv);

  QFile sceneFile(dir + "/scene.json");
  if (!sceneFile.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "%s/scene.json cannot be read\n", argv[1]);
    return 2;
  }
  const QJsonObject scene = QJsonDocument::fromJson(sceneFile.readAll()).object();

  auto dialogs = std::make_unique<ScriptedDialogs>();
  ScriptedDialogs& script = *dialogs;
  km::gui::Shell shell(std::move(dialogs));
  app.SetErrorDisplay([&shell](const std::string& text) { shell.platform.ShowMessage(text); });
  shell.MainForm.resize(700, 640);
  shell.MainForm.move(0, 0);
  shell.MainForm.show();
  Settle();

  // 設定, then the settings window's LOAD of kelmorph.cfg.
  shell.MainForm.Button4Click();
  shell.OptionForm.move(710, 0);
  script.answers = {dir + "/kelmorph.cfg"};
  shell.OptionForm.Button4Click();

  // LOAD Ref.jpg, Area Ref, drag the reference rectangle, Ref_read.
  script.answers = {dir + "/" + scene["referenceFrame"].toString()};
  shell.MainForm.Button1Click();
  Drag(shell, RectFrom(scene["referenceRect"].toObject()), 1);
  shell.OptionForm.Button2Click();
  const QImage main = Grab(shell.MainForm), settings = Grab(shell.OptionForm);
  QImage both(main.width() + 8 + settings.width(), std::max(main.height(), settings.height()),
              QImage::Format_RGB32);
  both.fill(QColor(64, 64, 64));
  {
    QPainter painter(&both);
    painter.drawImage(0, 0, main);
    painter.drawImage(main.width() + 8, 0, settings);
  }
  both.save(out + "/demo-ref-read.png");

  // LOAD Obj0001.jpg, Area Scan, drag the scan rectangle, SCAN.
  script.answers = {dir + "/" + scene["firstFrame"].toString()};
  shell.MainForm.Button1Click();
  Drag(shell, RectFrom(scene["scanRect"].toObject()), 0);
  shell.MainForm.Button2Click();
  Grab(shell.MainForm).save(out + "/demo-scan.png");

  app.SetErrorDisplay({});
  return 0;
}
