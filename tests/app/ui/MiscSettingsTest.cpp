// The miscellaneous settings dialog on real widgets: the interval edit as the
// user types into it, its arrows, and what OK and Cancel store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "app/ui/Miscset.h"

namespace klv {
namespace {

const QString kRangeMessage = QStringLiteral("Allowed interval is 0-60000 mS");

// Types `text` into `edit` key by key, as the user would.
void Type(QLineEdit* edit, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
  }
}

class MiscSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    Misc().AutoXmitInterval = 1500;
    Flags().LogModemP = true;
    Flags().LogModemS = false;
    Flags().LocalEchoP = false;
    Flags().LocalEchoS = true;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
    dlg.FormShow();
  }

  TMiscInt& Misc() { return parts.config.Conf().MiscInt; }
  TMiscBool& Flags() { return parts.config.Conf().MiscBool; }
  std::vector<QString> Messages() const { return parts.messages.Texts(); }

  test::ConfigFixtureParts parts;
  TMiscSettingsDlg dlg{parts.config, parts.messages};
  std::vector<int> results;
};

TEST_F(MiscSettingsTest, ShowingFillsTheControls) {
  Misc().AutoXmitInterval = 250;
  Flags().LogModemS = true;
  dlg.show();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "250");
  EXPECT_TRUE(dlg.cbLogMSC_P->isChecked());
  EXPECT_TRUE(dlg.cbLogMSC_S->isChecked());
  EXPECT_FALSE(dlg.cbLocalEcho_P->isChecked());
  EXPECT_TRUE(dlg.cbLocalEcho_S->isChecked());
  EXPECT_EQ(dlg.rgMult->ItemIndex(), 2);  // 100x
  dlg.hide();
}

TEST_F(MiscSettingsTest, ArrowsStepByTheMultiplierWithinTheirLimits) {
  dlg.SpinButton1Up->click();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1600");
  dlg.SpinButton1Down->click();
  dlg.SpinButton1Down->click();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1400");

  dlg.rgMult->SetItemIndex(3);  // 1000x
  dlg.ebAutoXmit->setText("59500");
  dlg.SpinButton1UpClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "60000");
  dlg.SpinButton1UpClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "60000");
  dlg.ebAutoXmit->setText("700");
  dlg.SpinButton1DownClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "100");

  dlg.rgMult->SetItemIndex(0);  // 1x
  dlg.SpinButton1DownClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "100");
  dlg.ebAutoXmit->setText("0");
  dlg.SpinButton1UpClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1");

  dlg.rgMult->SetItemIndex(1);  // 10x
  dlg.ebAutoXmit->setText("40");
  dlg.SpinButton1DownClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "100");

  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);  // only OK stores
}

TEST_F(MiscSettingsTest, ArrowsStartFromTheStoredIntervalWithoutANumber) {
  dlg.ebAutoXmit->clear();
  dlg.SpinButton1UpClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1600");
  dlg.ebAutoXmit->setText("-");
  dlg.SpinButton1DownClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1400");
}

TEST_F(MiscSettingsTest, ArrowsFromANumberOutsideTheRangeLandInsideIt) {
  dlg.rgMult->SetItemIndex(3);
  dlg.ebAutoXmit->setText("99999");
  dlg.SpinButton1DownClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "60000");
  dlg.ebAutoXmit->setText("-5000");
  dlg.SpinButton1UpClick();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "0");
}

TEST_F(MiscSettingsTest, TypedNumbersInRangeAreTakenAndOthersReported) {
  dlg.ebAutoXmit->clear();
  Type(dlg.ebAutoXmit, "0");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "0");
  EXPECT_TRUE(Messages().empty());

  dlg.ebAutoXmit->clear();
  Type(dlg.ebAutoXmit, "70000");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "70000");
  EXPECT_EQ(Messages(), std::vector<QString>{kRangeMessage});

  // At most five characters.
  Type(dlg.ebAutoXmit, "1");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "70000");
}

TEST_F(MiscSettingsTest, TypedNonNumberIsReplacedByTheStoredInterval) {
  dlg.ebAutoXmit->setText("15");
  dlg.ebAutoXmit->setCursorPosition(2);
  Type(dlg.ebAutoXmit, "x");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1500");
  EXPECT_EQ(dlg.ebAutoXmit->cursorPosition(), 4);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MiscSettingsTest, TypedLeadingZeroIsDroppedAndTheCursorStaysInFront) {
  dlg.ebAutoXmit->setText("500");
  dlg.ebAutoXmit->setCursorPosition(0);
  Type(dlg.ebAutoXmit, "0");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "500");
  EXPECT_EQ(dlg.ebAutoXmit->cursorPosition(), 0);
  Type(dlg.ebAutoXmit, "2");
  EXPECT_EQ(dlg.ebAutoXmit->text(), "2500");
  EXPECT_EQ(dlg.ebAutoXmit->cursorPosition(), 1);
}

TEST_F(MiscSettingsTest, OkStoresTheIntervalAndTheFlags) {
  dlg.ebAutoXmit->setText("0");
  dlg.cbLogMSC_P->setChecked(false);
  dlg.cbLogMSC_S->setChecked(true);
  dlg.cbLocalEcho_P->setChecked(true);
  dlg.cbLocalEcho_S->setChecked(false);
  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 0);
  EXPECT_FALSE(Flags().LogModemP);
  EXPECT_TRUE(Flags().LogModemS);
  EXPECT_TRUE(Flags().LocalEchoP);
  EXPECT_FALSE(Flags().LocalEchoS);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(MiscSettingsTest, OkWithAnEmptyEditStoresOne) {
  dlg.ebAutoXmit->clear();
  dlg.OKBtn->click();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1");
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1);
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
}

TEST_F(MiscSettingsTest, OkOutOfRangeStaysOpenButKeepsTheStoredFlags) {
  dlg.ebAutoXmit->setText("99999");
  dlg.cbLogMSC_P->setChecked(false);
  dlg.cbLocalEcho_P->setChecked(true);
  dlg.OKBtn->click();
  EXPECT_EQ(Messages(), std::vector<QString>{kRangeMessage});
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);
  EXPECT_FALSE(Flags().LogModemP);
  EXPECT_TRUE(Flags().LocalEchoP);

  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_FALSE(Flags().LogModemP);
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);
}

TEST_F(MiscSettingsTest, CancelLeavesTheSettings) {
  dlg.ebAutoXmit->setText("300");
  dlg.cbLogMSC_S->setChecked(true);
  dlg.cbLocalEcho_S->setChecked(false);
  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);
  EXPECT_FALSE(Flags().LogModemS);
  EXPECT_TRUE(Flags().LocalEchoS);
}

}  // namespace
}  // namespace klv
