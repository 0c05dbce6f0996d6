// The protocol parameters dialog on real widgets: it shows the stored set,
// writes the controls back on OK byte for byte and leaves the set on Cancel.
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

TEST(PropSetTest, ShowsTheSetStoresTheControlsOnOkAndNothingOnCancel) {
  // Start 3, end 2, position -4, length at 5 adjusted by -9, 2-byte ascii, ADD.
  const TBytes stored = {0xA7, 3, 0, 2, 0, 0xFC, 0xFF, 5, 0, 0xF7, 0xFF, 1, 2};
  TProtocolparam params;
  std::memcpy(&params, stored.data(), stored.size());
  TProprietarySettingsDlg dlg(params);
  std::vector<int> results;
  QObject::connect(&dlg, &QDialog::finished, [&](int result) { results.push_back(result); });
  const auto checked = [](TRadioGroup* group) { return group->Button(group->ItemIndex())->text(); };

  dlg.show();
  // A position stored negative shows as its absolute value.
  EXPECT_EQ((std::vector<int>{dlg.seCheckSumStart->value(), dlg.seChecksumEnd->value(),
                              dlg.seCheckSumPos->value(), dlg.seLengthPos->value(),
                              dlg.seLengthAdjust->value()}),
            (std::vector<int>{3, 2, 4, 5, -9}));
  EXPECT_EQ(checked(dlg.rgCheckSumStyle), "2-byte ascii");
  EXPECT_EQ(checked(dlg.rgCheckSumAlg), "00H-ADD");
  const TBytes before = BytesOf(params);
  dlg.seCheckSumStart->setValue(0);
  dlg.seLengthAdjust->setValue(4);
  dlg.rgCheckSumAlg->SetItemIndex(0);
  dlg.CancelBtn->click();
  EXPECT_EQ(BytesOf(params), before);

  params.ChecksumAlg = 1;
  dlg.show();  // the controls follow the set again
  EXPECT_EQ(checked(dlg.rgCheckSumAlg), "00H-XOR-ROR");
  dlg.seCheckSumStart->setValue(1);
  dlg.seChecksumEnd->setValue(9);
  dlg.seLengthAdjust->setValue(-3);
  dlg.rgCheckSumStyle->SetItemIndex(0);
  dlg.OKBtn->click();
  EXPECT_EQ(results, (std::vector<int>{QDialog::Rejected, QDialog::Accepted}));
  // Byte 0 is carried over; 16-bit fields little-endian (-3 is FFFDH).
  EXPECT_EQ(BytesOf(params), (TBytes{0xA7, 1, 0, 9, 0, 4, 0, 5, 0, 0xFD, 0xFF, 0, 1}));
}

}  // namespace
}  // namespace klv
