// Modal messages to the user. The main window shows them as message boxes;
// tests record the texts and answer the questions.
#pragma once

#include <QFlags>
#include <QString>

namespace klv {

enum class TMsgButton : unsigned { Ok = 0x1, Yes = 0x2, No = 0x4, Cancel = 0x8 };
Q_DECLARE_FLAGS(TMsgButtons, TMsgButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(TMsgButtons)

class IMessageService {
 public:
  virtual ~IMessageService() = default;
  // An information with an OK button.
  virtual void Information(const QString& text) = 0;
  // A question with the given buttons; returns the button chosen.
  virtual TMsgButton Confirmation(const QString& text, TMsgButtons buttons) = 0;
  // An error with an OK button.
  virtual void Error(const QString& text) = 0;
};

}  // namespace klv
