#pragma once
// The window tests' message box: records every box instead of showing it and
// answers at once (no test waits for a click). Answers are taken from
// `answers` in order while there are any, for any kind of box; afterwards
// questions get `answer` and every other box OK.
#include <deque>
#include <string>
#include <vector>

#include "app/Application.h"

namespace kalvero::test {

class MessageBoxFake : public MessageBoxHost {
 public:
  using MessageBoxHost::messageBox;
  struct Box {
    int kind;
    std::string text;
  };
  int messageBox(int kind, const std::string& text) override {
    boxes.push_back({kind, text});
    if (!answers.empty()) {
      const int a = answers.front();
      answers.pop_front();
      return a;
    }
    const auto which = static_cast<MessageKind>(kind);
    return which == MessageKind::YesNo || which == MessageKind::YesNoCancel ? answer : MB_RESULT_OK;
  }
  std::string lastText() const { return boxes.empty() ? std::string() : boxes.back().text; }
  void clear() { boxes.clear(); }

  std::vector<Box> boxes;
  std::deque<int> answers;
  int answer = MB_RESULT_YES;
};

}  // namespace kalvero::test
