// The display setup dialog on real widgets: filling, storing the new-line
// entries and the control character display, and the character spin edits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <cstring>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "app/ui/Dm_param.h"

namespace klv {
namespace {

constexpr std::uint8_t kAfter = 0;
constexpr std::uint8_t kBefore = 1;
constexpr std::uint8_t kIgnore = 2;

void PressKey(QWidget* widget, int key, const QString& text = QString()) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &release);
}

class DisplaySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    TConfigFile& config = parts.config;
    config.SetNewLine(0, TDisplayMode::HexAscii, {0x0D, kBefore});
    config.SetNewLine(0, TDisplayMode::Tty, {0x0A, kAfter});
    config.SetNewLine(0, TDisplayMode::Protocol, {0x55, kBefore});
    config.SetNewLine(1, TDisplayMode::HexAscii, {0x7E, kIgnore});
    config.SetNewLine(1, TDisplayMode::Tty, {0x03, kBefore});
    config.SetNewLine(1, TDisplayMode::Protocol, {0x66, kAfter});
    config.Conf().MiscInt.CtrlCharDisplay = 1;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
  }

  TConf& Conf() { return parts.config.Conf(); }

  test::ConfigFixtureParts parts;
  TFormDmSettings dlg{parts.config};
  std::vector<int> results;
};

TEST_F(DisplaySettingsTest, ShowingFillsEveryBoxFromItsEntry) {
  dlg.show();

  EXPECT_EQ(dlg.seNLHexAsciiP->value(), 0x0D);
  EXPECT_EQ(dlg.rgNLTypeHexAsciiP->ItemIndex(), kBefore);
  EXPECT_EQ(dlg.ebNLHexAsciiP->text(), "0DH");
  EXPECT_EQ(dlg.seNLHexAsciiS->value(), 0x7E);
  EXPECT_EQ(dlg.rgNLTypeHexAsciiS->ItemIndex(), kIgnore);
  EXPECT_EQ(dlg.ebNLHexAsciiS->text(), "7EH");
  EXPECT_EQ(dlg.seNLTTYP->value(), 0x0A);
  EXPECT_EQ(dlg.rgNLTypeTTYP->ItemIndex(), kAfter);
  EXPECT_EQ(dlg.ebNLTTYP->text(), "0AH");
  EXPECT_EQ(dlg.seNLTTYS->value(), 0x03);
  EXPECT_EQ(dlg.rgNLTypeTTYS->ItemIndex(), kBefore);
  EXPECT_EQ(dlg.ebNLTTYS->text(), "03H");
  EXPECT_EQ(dlg.rgCtrlChar->ItemIndex(), 1);

  // Shown again after a change elsewhere: the boxes follow the record.
  dlg.hide();
  parts.config.SetNewLine(1, TDisplayMode::Tty, {0xA5, kIgnore});
  Conf().MiscInt.CtrlCharDisplay = 2;
  dlg.show();
  EXPECT_EQ(dlg.seNLTTYS->value(), 0xA5);
  EXPECT_EQ(dlg.ebNLTTYS->text(), "A5H");
  EXPECT_EQ(dlg.rgNLTypeTTYS->ItemIndex(), kIgnore);
  EXPECT_EQ(dlg.rgCtrlChar->ItemIndex(), 2);
  dlg.hide();
}

TEST_F(DisplaySettingsTest, OkStoresTheFourEntriesAndLeavesProtocolEntries) {
  dlg.FormShow();
  dlg.seNLHexAsciiP->setValue(0x20);
  dlg.rgNLTypeHexAsciiP->SetItemIndex(kIgnore);
  dlg.seNLTTYP->setValue(0xFF);
  dlg.rgNLTypeTTYP->SetItemIndex(kBefore);
  dlg.seNLHexAsciiS->setValue(0x00);
  dlg.rgNLTypeHexAsciiS->SetItemIndex(kAfter);
  dlg.seNLTTYS->setValue(0x41);
  dlg.rgNLTypeTTYS->SetItemIndex(kAfter);
  dlg.rgCtrlChar->SetItemIndex(0);

  dlg.OKBtn->click();

  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  const TConfigFile& config = parts.config;
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::HexAscii), (TNewLineEntry{0x20, kIgnore}));
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::Tty), (TNewLineEntry{0xFF, kBefore}));
  EXPECT_EQ(config.GetNewLine(1, TDisplayMode::HexAscii), (TNewLineEntry{0x00, kAfter}));
  EXPECT_EQ(config.GetNewLine(1, TDisplayMode::Tty), (TNewLineEntry{0x41, kAfter}));
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::Protocol), (TNewLineEntry{0x55, kBefore}));
  EXPECT_EQ(config.GetNewLine(1, TDisplayMode::Protocol), (TNewLineEntry{0x66, kAfter}));
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 0);
}

TEST_F(DisplaySettingsTest, CancelStoresNothing) {
  dlg.FormShow();
  const TNewLine newLine = Conf().NewLine;
  dlg.seNLHexAsciiP->setValue(0x33);
  dlg.rgNLTypeTTYS->SetItemIndex(kIgnore);
  dlg.rgCtrlChar->SetItemIndex(2);
  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_EQ(std::memcmp(&Conf().NewLine, &newLine, sizeof(TNewLine)), 0);
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 1);
}

TEST_F(DisplaySettingsTest, HexTextFollowsTheSpinEdit) {
  dlg.FormShow();
  dlg.seNLHexAsciiS->setValue(13);
  EXPECT_EQ(dlg.ebNLHexAsciiS->text(), "0DH");
  dlg.seNLHexAsciiS->setValue(255);
  EXPECT_EQ(dlg.ebNLHexAsciiS->text(), "FFH");
  dlg.seNLTTYP->setValue(0);
  EXPECT_EQ(dlg.ebNLTTYP->text(), "00H");
  dlg.seNLTTYP->stepBy(11);
  EXPECT_EQ(dlg.ebNLTTYP->text(), "0BH");
  // The other boxes keep their own codes.
  EXPECT_EQ(dlg.ebNLHexAsciiP->text(), "0DH");
  EXPECT_EQ(dlg.ebNLTTYS->text(), "03H");
}

TEST_F(DisplaySettingsTest, SpinEditStepsByKeysButRefusesTypedText) {
  dlg.FormShow();
  TCharCodeSpinEdit* spin = dlg.seNLHexAsciiP;
  ASSERT_EQ(spin->value(), 0x0D);

  auto* text = spin->findChild<QLineEdit*>();
  ASSERT_NE(text, nullptr);
  text->selectAll();
  PressKey(spin, Qt::Key_5, QStringLiteral("5"));
  PressKey(spin, Qt::Key_End);
  PressKey(spin, Qt::Key_Backspace);
  PressKey(text, Qt::Key_7, QStringLiteral("7"));
  EXPECT_EQ(spin->value(), 0x0D);
  EXPECT_EQ(text->text(), "13");

  PressKey(spin, Qt::Key_Up);
  EXPECT_EQ(spin->value(), 0x0E);
  EXPECT_EQ(dlg.ebNLHexAsciiP->text(), "0EH");
  PressKey(spin, Qt::Key_Down);
  PressKey(spin, Qt::Key_Down);
  EXPECT_EQ(spin->value(), 0x0C);

  spin->setValue(255);
  PressKey(spin, Qt::Key_Up);
  EXPECT_EQ(spin->value(), 255);
}

TEST_F(DisplaySettingsTest, PageFollowsTheDisplayModeAndStaysInProtocolMode) {
  Conf().DisplayMode = 1;
  dlg.FormShow();
  EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), 1);
  EXPECT_EQ(dlg.nbDisplayMode->tabText(1), "TTY");
  Conf().DisplayMode = 0;
  dlg.FormShow();
  EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), 0);
  EXPECT_EQ(dlg.nbDisplayMode->tabText(0), "Hex/ASCII");

  Conf().DisplayMode = 2;
  dlg.FormShow();
  EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), 0);
  dlg.nbDisplayMode->setCurrentIndex(1);  // the user's last page
  dlg.FormShow();
  EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), 1);
}

TEST_F(DisplaySettingsTest, DamagedValuesShowClampedAndStoreValid) {
  Conf().NewLine.Entry[0][0].NLPos = 200;
  Conf().NewLine.Entry[1][1].NLPos = 3;
  Conf().MiscInt.CtrlCharDisplay = 17;
  Conf().DisplayMode = 99;
  dlg.FormShow();
  EXPECT_EQ(dlg.rgNLTypeHexAsciiP->ItemIndex(), kIgnore);
  EXPECT_EQ(dlg.rgNLTypeTTYS->ItemIndex(), kIgnore);
  EXPECT_EQ(dlg.rgCtrlChar->ItemIndex(), 2);

  dlg.OKBtn->click();
  EXPECT_EQ(parts.config.GetNewLine(0, TDisplayMode::HexAscii).NLPos, kIgnore);
  EXPECT_EQ(parts.config.GetNewLine(1, TDisplayMode::Tty).NLPos, kIgnore);
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 2);
}

}  // namespace
}  // namespace klv
