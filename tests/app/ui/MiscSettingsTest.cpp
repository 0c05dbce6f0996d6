// The miscellaneous settings dialog on real widgets: the interval edit as the
// user types into it, its arrows, and what OK and Cancel store.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <tuple>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "app/ui/Miscset.h"

namespace klv {
namespace {

const QString kRangeMessage = QStringLiteral("Allowed interval is 0-60000 mS");

TEST(IntervalArrows, StepByTheMultiplierAndLandWithinTheirLimits) {
  // The text, the multiplier (0: 1x .. 3: 1000x), up or down, and where the arrow lands.
  const std::tuple<const char*, int, bool, int> cases[] = {
      {"1500", 2, true, 1600}, {"1500", 2, false, 1400},   {"59500", 3, true, 60000},
      {"700", 3, false, 100},  {"100", 0, false, 100},     {"0", 0, true, 1},
      {"40", 1, false, 100},   {"99999", 3, false, 60000}, {"-5000", 3, true, 0},
      {"", 2, true, 1600},     {"-", 2, false, 1400},  // no number: from the stored 1500
  };
  for (const auto& [text, multiplier, up, result] : cases) {
    EXPECT_EQ(ArrowInterval(QString::fromLatin1(text), 1500, multiplier, up), result)
        << text << " " << multiplier << " " << up;
  }
}

class MiscSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    Misc().AutoXmitInterval = 1500;
    Flags().LogModemP = true;
    Flags().LocalEchoS = true;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
    dlg.show();
  }
  void TearDown() override { dlg.hide(); }
  TMiscInt& Misc() { return parts.config.Conf().MiscInt; }
  TMiscBool& Flags() { return parts.config.Conf().MiscBool; }

  test::ConfigFixtureParts parts;
  TMiscSettingsDlg dlg{parts.config, parts.messages};
  std::vector<int> results;
};

// Each key as the user types it: a number in range is taken, one outside is
// reported, a non-number brings back the stored interval, a leading zero goes.
TEST_F(MiscSettingsTest, TypedKeysKeepTheEditANumberInRange) {
  // The text and cursor before, the keys typed, the text and cursor after, and whether the range
  // was reported.
  const std::tuple<const char*, int, const char*, const char*, int, bool> cases[] = {
      {"", 0, "0", "0", 1, false},          {"", 0, "70000", "70000", 5, true},
      {"70000", 5, "1", "70000", 5, false},  // five characters at most
      {"15", 2, "x", "1500", 4, false},     {"500", 0, "0", "500", 0, false},
      {"500", 0, "02", "2500", 1, false},
  };
  for (const auto& [before, cursor, typed, after, cursorAfter, reported] : cases) {
    SCOPED_TRACE(std::string(before) + " + " + typed);
    parts.messages.shown.clear();
    dlg.ebAutoXmit->setText(QString::fromLatin1(before));
    dlg.ebAutoXmit->setCursorPosition(cursor);
    for (const char key : std::string_view(typed)) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar::fromLatin1(key)));
      QApplication::sendEvent(dlg.ebAutoXmit, &press);
    }
    EXPECT_EQ(dlg.ebAutoXmit->text(), after);
    EXPECT_EQ(dlg.ebAutoXmit->cursorPosition(), cursorAfter);
    EXPECT_EQ(parts.messages.Texts(),
              reported ? std::vector<QString>{kRangeMessage} : std::vector<QString>{});
  }
}

TEST_F(MiscSettingsTest, ShowingFillsTheControlsAndOnlyOkStores) {
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1500");
  EXPECT_EQ((std::vector<bool>{dlg.cbLogMSC_P->isChecked(), dlg.cbLogMSC_S->isChecked(),
                               dlg.cbLocalEcho_P->isChecked(), dlg.cbLocalEcho_S->isChecked()}),
            (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(dlg.rgMult->ItemIndex(), 2);  // 100x
  dlg.SpinButton1Up->click();
  EXPECT_EQ(dlg.ebAutoXmit->text(), "1600");
  dlg.cbLogMSC_S->setChecked(true);
  dlg.CancelBtn->click();
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);
  EXPECT_FALSE(Flags().LogModemS);

  dlg.show();
  dlg.ebAutoXmit->clear();  // an empty edit stores 1
  dlg.cbLogMSC_P->setChecked(false);
  dlg.cbLocalEcho_P->setChecked(true);
  dlg.OKBtn->click();
  EXPECT_EQ(results, (std::vector<int>{QDialog::Rejected, QDialog::Accepted}));
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1);
  EXPECT_FALSE(Flags().LogModemP);
  EXPECT_TRUE(Flags().LocalEchoP);
}

TEST_F(MiscSettingsTest, OkOutOfRangeStaysOpenButKeepsTheStoredFlags) {
  dlg.ebAutoXmit->setText("99999");
  dlg.cbLogMSC_P->setChecked(false);
  dlg.OKBtn->click();
  EXPECT_EQ(parts.messages.Texts(), std::vector<QString>{kRangeMessage});
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(Misc().AutoXmitInterval.get(), 1500);
  EXPECT_FALSE(Flags().LogModemP);
}

}  // namespace
}  // namespace klv
