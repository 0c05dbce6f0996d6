// The protocol parameters dialog on real widgets: showing the stored set,
// writing it back on OK byte for byte, and leaving it alone on Cancel.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <array>
#include <cstring>
#include <vector>

#include "protocol/ui/Prop_set.h"

namespace klv {
namespace {

using TBytes = std::array<std::uint8_t, sizeof(TProtocolparam)>;

TBytes BytesOf(const TProtocolparam& params) {
  TBytes bytes{};
  std::memcpy(bytes.data(), &params, bytes.size());
  return bytes;
}

class PropSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    params.NotUsed = 0xA7;
    params.ChecksumStart = 3;
    params.ChecksumEnd = 2;
    params.ChecksumPos = 4;
    params.LengthPos = 5;
    params.LengthAdjust = -9;
    params.ChecksumStyle = 1;
    params.ChecksumAlg = 2;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
  }

  TProtocolparam params;
  TProprietarySettingsDlg dlg{params};
  std::vector<int> results;
};

TEST_F(PropSetTest, ShowingSetsEveryControl) {
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Hex-Asc/TTY Protocol parameters");
  EXPECT_EQ(dlg.seCheckSumStart->value(), 3);
  EXPECT_EQ(dlg.seChecksumEnd->value(), 2);
  EXPECT_EQ(dlg.seCheckSumPos->value(), 4);
  EXPECT_EQ(dlg.seLengthPos->value(), 5);
  EXPECT_EQ(dlg.seLengthAdjust->value(), -9);
  EXPECT_EQ(dlg.rgCheckSumStyle->Button(dlg.rgCheckSumStyle->ItemIndex())->text(), "2-byte ascii");
  EXPECT_EQ(dlg.rgCheckSumAlg->Button(dlg.rgCheckSumAlg->ItemIndex())->text(), "00H-ADD");
  dlg.hide();

  // Shown again after the record changed: the controls follow it. A position
  // stored negative shows as its absolute value.
  params.ChecksumPos = -2;
  params.ChecksumStyle = 0;
  params.ChecksumAlg = 1;
  dlg.show();
  EXPECT_EQ(dlg.seCheckSumPos->value(), 2);
  EXPECT_EQ(dlg.rgCheckSumStyle->Button(dlg.rgCheckSumStyle->ItemIndex())->text(), "1-byte binary");
  EXPECT_EQ(dlg.rgCheckSumAlg->Button(dlg.rgCheckSumAlg->ItemIndex())->text(), "00H-XOR-ROR");
  dlg.hide();
}

TEST_F(PropSetTest, OkStoresTheControlsAsSixteenBitNumbers) {
  dlg.FormShow();
  dlg.seCheckSumStart->setValue(1);
  dlg.seChecksumEnd->setValue(9);
  dlg.seCheckSumPos->setValue(0);
  dlg.seLengthPos->setValue(7);
  dlg.seLengthAdjust->setValue(-3);
  dlg.rgCheckSumStyle->SetItemIndex(0);
  dlg.rgCheckSumAlg->SetItemIndex(0);

  dlg.OKBtn->click();

  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  // Byte 0 is carried over; -3 is FFFDH, little-endian, at offset 9.
  const TBytes expected = {0xA7, 1, 0, 9, 0, 0, 0, 7, 0, 0xFD, 0xFF, 0, 0};
  EXPECT_EQ(BytesOf(params), expected);
}

TEST_F(PropSetTest, OkWithoutChangesKeepsTheRecordAndNegativePositionBecomesPositive) {
  const TBytes before = BytesOf(params);
  dlg.FormShow();
  dlg.OKBtn->click();
  EXPECT_EQ(BytesOf(params), before);

  params.ChecksumPos = -2;
  dlg.FormShow();
  dlg.OKBtn->click();
  EXPECT_EQ(params.ChecksumPos.get(), 2);
  EXPECT_EQ(results, (std::vector<int>{QDialog::Accepted, QDialog::Accepted}));
}

TEST_F(PropSetTest, CancelLeavesTheRecordByteForByte) {
  params.ChecksumPos = -2;
  const TBytes before = BytesOf(params);
  dlg.FormShow();
  dlg.seCheckSumStart->setValue(0);
  dlg.seCheckSumPos->setValue(7);
  dlg.seLengthAdjust->setValue(4);
  dlg.rgCheckSumAlg->SetItemIndex(0);
  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_EQ(BytesOf(params), before);
}

TEST_F(PropSetTest, DamagedValuesShowClampedAndStoreValid) {
  params.ChecksumStart = 40;
  params.ChecksumEnd = -5;
  params.ChecksumPos = -32768;
  params.LengthPos = 65535;
  params.LengthAdjust = 300;
  params.ChecksumStyle = 9;
  params.ChecksumAlg = 200;
  dlg.FormShow();
  dlg.OKBtn->click();
  const TBytes expected = {0xA7, 9, 0, 0, 0, 9, 0, 9, 0, 9, 0, 1, 2};
  EXPECT_EQ(BytesOf(params), expected);
}

}  // namespace
}  // namespace klv
