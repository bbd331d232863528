#pragma once
// A dialog provider for window tests: records every message box and file
// dialog and answers the file dialogs from queues.

#include <deque>
#include <optional>
#include <vector>

#include "app/gui/qt_platform.h"

namespace km::gui::testing {

class FakeDialogs : public DialogProvider {
 public:
  void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  std::optional<QString> OpenFile(QWidget*, const QtFileDialogSpec& spec) override {
    openSpecs.push_back(spec);
    return Next(openAnswers);
  }
  std::optional<QString> SaveFile(QWidget*, const QtFileDialogSpec& spec) override {
    saveSpecs.push_back(spec);
    return Next(saveAnswers);
  }

  // Answers of the next dialogs, in order; an empty text or an empty queue
  // means Cancel.
  std::deque<QString> openAnswers, saveAnswers;
  std::vector<QString> messages;
  std::vector<QtFileDialogSpec> openSpecs, saveSpecs;

 private:
  static std::optional<QString> Next(std::deque<QString>& answers) {
    if (answers.empty()) return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  }
};

}  // namespace km::gui::testing
