// The line parameters dialog on real widgets: filling from the record and the
// ports, storing on OK, the refusals, and which ports get closed.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "app/ui/Channel.h"

namespace klv {
namespace {

class FakeChannelPorts : public IChannelPorts {
 public:
  bool PortUsable(int comNumber) override { return usable.count(comNumber) > 0; }
  QString PortDevice(int comNumber) override {
    const auto it = devices.find(comNumber);
    return it == devices.end() ? QString() : it->second;
  }
  void ClosePort(int channel) override { closed.push_back(channel); }

  std::set<int> usable = {1, 2, 3, 4, 5, 6, 7, 8};
  std::map<int, QString> devices;
  std::vector<int> closed;
};

// A channel's record: enabled, port, baud rate index, data bits, parity, stop bits.
std::vector<int> Fields(const TComEntry& e) {
  return {e.Enabled, e.Port, e.BaudIndex, e.DataBits, e.Parity, e.StopBits};
}

bool SameComparam(const TComparam& a, const TComparam& b) {
  return std::memcmp(&a, &b, sizeof(TComparam)) == 0;
}

class ChannelDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    TComEntry& ch1 = Comparam().Channel[0];
    ch1.Enabled = true;
    ch1.Port = 1;
    ch1.Parity = 2;  // Even
    TComEntry& ch2 = Comparam().Channel[1];
    ch2.Enabled = true;
    ch2.Port = 2;
    ch2.BaudIndex = 14;  // 115200
    ch2.DataBits = 7;
    ch2.StopBits = 2;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
  }
  TComparam& Comparam() { return parts.config.Conf().Comparam; }
  static QString Checked(TRadioGroup* group) { return group->Button(group->ItemIndex())->text(); }

  test::ConfigFixtureParts parts;
  FakeChannelPorts ports;
  TChannelDlg dlg{parts.config, ports, parts.messages};
  std::vector<int> results;  // of every close of the dialog
};

TEST_F(ChannelDlgTest, ActivationFillsBothChannelsFromTheRecordAndThePorts) {
  ports.usable = {1, 2, 5};
  ports.devices[5] = "/dev/ttyUSB0";
  ports.devices[2] = "/dev/pts/3";
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&dlg, &activate);
  EXPECT_TRUE(dlg.cbCh1Enabled->isChecked());
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 1);
  EXPECT_EQ(
      QStringList({dlg.lbBaudRateCh1->currentItem()->text(), dlg.lbParityCh1->currentItem()->text(),
                   Checked(dlg.rgDataBitsCh1), dlg.lbBaudRateCh2->currentItem()->text(),
                   Checked(dlg.rgDataBitsCh2), Checked(dlg.rgStopBitsCh2)}),
      QStringList({"9600", "Even", "8", "115200", "7", "2"}));
  for (int n = 1; n <= 16; ++n)
    EXPECT_EQ(dlg.rgPortSelCh1->Button(n - 1)->isEnabled(), n <= 2 || n == 5) << "COM " << n;
  EXPECT_EQ(dlg.rgPortSelCh1->Button(4)->text(), "COM 5  ttyUSB0");
  EXPECT_EQ(dlg.rgPortSelCh1->Button(4)->toolTip(), "/dev/ttyUSB0");
  EXPECT_EQ(dlg.rgPortSelCh1->Button(1)->text(), "COM 2  pts/3");
  dlg.show();
  for (const QListWidget* list : {dlg.lbBaudRateCh1, dlg.lbParityCh2})
    EXPECT_EQ(list->verticalScrollBar()->maximum(), 0) << "every choice in sight";
  EXPECT_EQ(dlg.size(), dlg.sizeHint()) << "no larger than its controls need";
  dlg.hide();

  // The next activation shows the record and the ports as they are then.
  Comparam().Channel[1].Enabled = false;
  ports.usable.clear();
  QCoreApplication::sendEvent(&dlg, &activate);
  EXPECT_FALSE(dlg.cbCh2Enabled->isChecked());
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), -1) << "no usable port, no selection";
  EXPECT_EQ(dlg.lbBaudRateCh1->count(), 16);
}

TEST(PortChoice, AnEnabledChannelNeedsItsOwnPort) {
  using P = std::optional<int>;
  const std::tuple<bool, P, bool, P, TPortChoice> cases[] = {
      {true, 1, true, 2, TPortChoice::Ok},       {true, 3, true, 3, TPortChoice::SamePort},
      {true, 3, false, 3, TPortChoice::Ok},  // a disabled channel may keep the other's port
      {true, {}, true, 2, TPortChoice::NoPort1}, {false, {}, true, {}, TPortChoice::NoPort2},
      {false, {}, false, {}, TPortChoice::Ok},
  };
  for (const auto& [enabled1, port1, enabled2, port2, result] : cases) {
    EXPECT_EQ(CheckPortChoice({enabled1, enabled2}, {port1, port2}), result)
        << enabled1 << port1.value_or(0) << enabled2 << port2.value_or(0);
  }
}

TEST_F(ChannelDlgTest, OkStoresEveryControlAndClosesOnlyAMovedOrDisabledChannel) {
  dlg.FormActivate();
  dlg.rgPortSelCh1->SetItemIndex(3);  // COM 4
  dlg.lbBaudRateCh1->setCurrentRow(12);
  dlg.lbParityCh1->setCurrentRow(1);
  dlg.rgDataBitsCh1->SetItemIndex(1);
  dlg.rgStopBitsCh1->SetItemIndex(1);
  dlg.lbBaudRateCh2->setCurrentRow(15);  // same port, new baud rate
  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(ports.closed, std::vector<int>{0});
  EXPECT_EQ(Fields(Comparam().Channel[0]), (std::vector<int>{1, 4, 12, 6, 1, 2}));
  EXPECT_EQ(Fields(Comparam().Channel[1]), (std::vector<int>{1, 2, 15, 7, 0, 2}));

  dlg.FormActivate();
  dlg.cbCh2Enabled->setChecked(false);
  dlg.OKBtn->click();
  EXPECT_EQ(ports.closed, (std::vector<int>{0, 1}));
  EXPECT_FALSE(Comparam().Channel[1].Enabled);
}

TEST_F(ChannelDlgTest, ARefusalShowsTheStoredParametersAgainAndCancelStoresNothing) {
  dlg.FormActivate();
  const TComparam stored = Comparam();
  dlg.rgPortSelCh1->SetItemIndex(2);
  dlg.rgPortSelCh2->SetItemIndex(2);
  dlg.lbBaudRateCh1->setCurrentRow(0);
  dlg.OKBtn->click();
  EXPECT_EQ(parts.messages.Texts(),
            std::vector<QString>{"The two channels may not use the same COM port"});
  EXPECT_TRUE(SameComparam(Comparam(), stored));
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.lbBaudRateCh1->currentRow(), 7);

  dlg.cbCh1Enabled->setChecked(false);
  dlg.lbBaudRateCh2->setCurrentRow(0);
  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_TRUE(SameComparam(Comparam(), stored));
  EXPECT_TRUE(ports.closed.empty());
}

TEST_F(ChannelDlgTest, DamagedRecordOpensWithValidSelectionsAndStoresValidValues) {
  TComEntry& ch1 = Comparam().Channel[0];
  ch1.Parity = 9;
  ch1.DataBits = 200;
  ch1.BaudIndex = 70;
  ch1.StopBits = 0;
  Comparam().Channel[1].Port = 250;
  dlg.FormActivate();
  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(Fields(ch1), (std::vector<int>{1, 1, 15, 8, 4, 1}));
  EXPECT_EQ(Comparam().Channel[1].Port, 16);
}

}  // namespace
}  // namespace klv
