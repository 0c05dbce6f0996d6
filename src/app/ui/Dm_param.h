// The display setup dialog: the new-line character of each channel for the
// Hex/ASCII and TTY display modes, and how TTY shows control characters.
#pragma once

#include <QDialog>
#include <QSpinBox>

#include "app/Config.h"
#include "common/ui/RadioGroup.h"

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace klv {

// A spin edit for a character code 0..255 that changes only by its arrows,
// the arrow and page keys or the mouse wheel, never by typing.
class TCharCodeSpinEdit : public QSpinBox {
 public:
  explicit TCharCodeSpinEdit(QWidget* parent = nullptr);
};

class TFormDmSettings : public QDialog {
  Q_OBJECT

 public:
  explicit TFormDmSettings(TConfigFile& config, QWidget* parent = nullptr);

  void FormShow();
  void OKBtnClick();
  void CancelBtnClick();
  // A spin edit of the Hex/ASCII page or of the TTY page changed.
  void seNLHexAsciiChange();
  void seNLTTYChange();

  QTabWidget* nbDisplayMode;
  QWidget* tsHexAscii;
  QWidget* tsTTY;

  // Page Hex/ASCII
  QGroupBox* gbNewLineHexAscii;
  QGroupBox* gbHexAsciiP;
  TRadioGroup* rgNLTypeHexAsciiP;
  TCharCodeSpinEdit* seNLHexAsciiP;
  QLineEdit* ebNLHexAsciiP;
  QGroupBox* gbHexAsciiS;
  TRadioGroup* rgNLTypeHexAsciiS;
  TCharCodeSpinEdit* seNLHexAsciiS;
  QLineEdit* ebNLHexAsciiS;

  // Page TTY
  QGroupBox* gbTTYP;
  TRadioGroup* rgNLTypeTTYP;
  TCharCodeSpinEdit* seNLTTYP;
  QLineEdit* ebNLTTYP;
  QGroupBox* gbTTYS;
  TRadioGroup* rgNLTypeTTYS;
  TCharCodeSpinEdit* seNLTTYS;
  QLineEdit* ebNLTTYS;
  QPlainTextEdit* mmTTYNote;
  TRadioGroup* rgCtrlChar;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* PrintScreenBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The controls of one channel on one page.
  struct TNewLineBox {
    QGroupBox* Box;
    TRadioGroup* Type;
    TCharCodeSpinEdit* Char;
    QLineEdit* Hex;
  };

  TNewLineBox BuildNewLineBox(const QString& caption, QWidget* parent);
  static void FillBox(const TNewLineBox& box, TNewLineEntry entry);
  static TNewLineEntry BoxEntry(const TNewLineBox& box, TNewLineEntry before);
  static void RefreshHex(const TNewLineBox& box);

  TConfigFile& config_;
  // [channel][page]: page 0 Hex/ASCII, page 1 TTY.
  TNewLineBox boxes_[2][2]{};
};

}  // namespace klv
