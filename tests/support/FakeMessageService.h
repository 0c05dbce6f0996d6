// Records every message the code under test shows and answers questions
// from a queue (OK, or the first button offered, when the queue is empty).
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "common/MessageService.h"

namespace klv::test {

class FakeMessageService : public IMessageService {
 public:
  enum class Kind { Information, Confirmation, Error };
  struct Shown {
    Kind kind;
    QString text;
    TMsgButtons buttons;
  };

  void Information(const QString& text) override {
    Show({Kind::Information, text, TMsgButton::Ok});
  }
  TMsgButton Confirmation(const QString& text, TMsgButtons buttons) override {
    Show({Kind::Confirmation, text, buttons});
    if (!answers.empty()) {
      const TMsgButton answer = answers.front();
      answers.pop_front();
      return answer;
    }
    for (TMsgButton b : {TMsgButton::Ok, TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel}) {
      if (buttons & b)
        return b;
    }
    return TMsgButton::Ok;
  }
  void Error(const QString& text) override { Show({Kind::Error, text, TMsgButton::Ok}); }

  std::vector<QString> Texts() const {
    std::vector<QString> texts;
    for (const Shown& s : shown)
      texts.push_back(s.text);
    return texts;
  }

  std::vector<Shown> shown;
  std::deque<TMsgButton> answers;
  // Runs while a message is up, as the event loop of a modal box would.
  std::function<void()> whileShown;

 private:
  void Show(Shown message) {
    shown.push_back(std::move(message));
    if (whileShown)
      whileShown();
  }
};

}  // namespace klv::test
