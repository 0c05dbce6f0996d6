// The display setup dialog on real widgets: filling, storing the new-line
// entries and the control character display, and the character spin edits.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
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

class DisplaySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    TConfigFile& config = parts.config;
    config.SetNewLine(0, TDisplayMode::HexAscii, {0x0D, kBefore});
    config.SetNewLine(0, TDisplayMode::Protocol, {0x55, kBefore});
    config.SetNewLine(1, TDisplayMode::HexAscii, {0x7E, kIgnore});
    config.SetNewLine(1, TDisplayMode::Tty, {0x03, kBefore});
    config.Conf().MiscInt.CtrlCharDisplay = 1;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
  }
  TConf& Conf() { return parts.config.Conf(); }

  test::ConfigFixtureParts parts;
  TFormDmSettings dlg{parts.config};
  std::vector<int> results;
};

TEST_F(DisplaySettingsTest, ShowingFillsTheBoxesOkStoresThemAndCancelNothing) {
  dlg.show();
  EXPECT_EQ((std::vector<int>{dlg.seNLHexAsciiP->value(), dlg.rgNLTypeHexAsciiP->ItemIndex(),
                              dlg.rgNLTypeHexAsciiS->ItemIndex(), dlg.rgCtrlChar->ItemIndex()}),
            (std::vector<int>{0x0D, kBefore, kIgnore, 1}));
  EXPECT_EQ(QStringList({dlg.ebNLHexAsciiP->text(), dlg.ebNLTTYS->text()}),
            QStringList({"0DH", "03H"}));
  dlg.nbDisplayMode->setCurrentIndex(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(dlg.mmTTYNote->verticalScrollBar()->maximum(), 0) << "the whole note in sight";
  EXPECT_EQ(dlg.mmTTYNote->horizontalScrollBar()->maximum(), 0);

  const TNewLine before = Conf().NewLine;
  dlg.seNLHexAsciiP->setValue(0x33);
  dlg.rgCtrlChar->SetItemIndex(2);
  dlg.CancelBtn->click();
  EXPECT_EQ(std::memcmp(&Conf().NewLine, &before, sizeof(TNewLine)), 0);
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 1);

  dlg.show();
  EXPECT_EQ(dlg.seNLHexAsciiP->value(), 0x0D) << "shown again, the boxes follow the record";
  dlg.seNLHexAsciiP->setValue(0x20);
  dlg.rgNLTypeHexAsciiP->SetItemIndex(kIgnore);
  dlg.seNLTTYP->setValue(0xFF);
  dlg.rgNLTypeTTYP->SetItemIndex(kBefore);
  dlg.seNLTTYS->setValue(0x41);
  dlg.rgCtrlChar->SetItemIndex(0);
  EXPECT_EQ(dlg.ebNLTTYS->text(), "41H") << "the hex text follows its own spin edit";
  dlg.OKBtn->click();
  EXPECT_EQ(results, (std::vector<int>{QDialog::Rejected, QDialog::Accepted}));
  const TConfigFile& config = parts.config;
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::HexAscii), (TNewLineEntry{0x20, kIgnore}));
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::Tty), (TNewLineEntry{0xFF, kBefore}));
  EXPECT_EQ(config.GetNewLine(1, TDisplayMode::HexAscii), (TNewLineEntry{0x7E, kIgnore}));
  EXPECT_EQ(config.GetNewLine(1, TDisplayMode::Tty), (TNewLineEntry{0x41, kBefore}));
  EXPECT_EQ(config.GetNewLine(0, TDisplayMode::Protocol), (TNewLineEntry{0x55, kBefore}));
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 0);
}

// The page follows the display mode and stays where the user left it in the
// Protocol mode; damaged values show clamped and are stored valid.
TEST_F(DisplaySettingsTest, PageFollowsTheModeAndDamagedValuesStoreValid) {
  for (const auto& [mode, page] : {std::pair{1, 1}, std::pair{0, 0}, std::pair{2, 0}}) {
    Conf().DisplayMode = static_cast<std::uint8_t>(mode);
    dlg.FormShow();
    EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), page) << mode;
  }
  dlg.nbDisplayMode->setCurrentIndex(1);
  Conf().NewLine.Entry[0][0].NLPos = 200;
  Conf().MiscInt.CtrlCharDisplay = 17;
  dlg.FormShow();
  EXPECT_EQ(dlg.nbDisplayMode->currentIndex(), 1);
  dlg.OKBtn->click();
  EXPECT_EQ(parts.config.GetNewLine(0, TDisplayMode::HexAscii).NLPos, kIgnore);
  EXPECT_EQ(Conf().MiscInt.CtrlCharDisplay, 2);
}

}  // namespace
}  // namespace klv
