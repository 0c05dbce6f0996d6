// The line parameters dialog on real widgets: filling from the record and the
// ports, storing on OK, the refusals, and which ports get closed.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "app/ConfigTestSupport.h"
#include "app/ui/Channel.h"
#include "support/EventLoop.h"

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

  std::set<int> usable;
  std::map<int, QString> devices;
  std::vector<int> closed;
};

bool SameComparam(const TComparam& a, const TComparam& b) {
  return std::memcmp(&a, &b, sizeof(TComparam)) == 0;
}

class ChannelDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parts.config.SetDefaults();
    for (int n = 1; n <= 8; ++n)
      ports.usable.insert(n);
    TComEntry& ch1 = Comparam().Channel[0];
    ch1.Enabled = true;
    ch1.Port = 1;
    ch1.BaudIndex = 7;  // 9600
    ch1.Parity = 2;     // Even
    ch1.DataBits = 8;
    ch1.StopBits = 1;
    TComEntry& ch2 = Comparam().Channel[1];
    ch2.Enabled = true;
    ch2.Port = 2;
    ch2.BaudIndex = 14;  // 115200
    ch2.Parity = 0;
    ch2.DataBits = 7;
    ch2.StopBits = 2;
    QObject::connect(&dlg, &QDialog::finished, [this](int result) { results.push_back(result); });
  }

  TComparam& Comparam() { return parts.config.Conf().Comparam; }

  test::ConfigFixtureParts parts;
  FakeChannelPorts ports;
  TChannelDlg dlg{parts.config, ports, parts.messages};
  std::vector<int> results;  // of every close of the dialog
};

TEST_F(ChannelDlgTest, ActivationFillsBothChannelsFromTheRecord) {
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&dlg, &activate);

  EXPECT_TRUE(dlg.cbCh1Enabled->isChecked());
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.lbBaudRateCh1->currentItem()->text(), "9600");
  EXPECT_EQ(dlg.lbParityCh1->currentItem()->text(), "Even");
  EXPECT_EQ(dlg.rgDataBitsCh1->Button(dlg.rgDataBitsCh1->ItemIndex())->text(), "8");
  EXPECT_EQ(dlg.rgStopBitsCh1->Button(dlg.rgStopBitsCh1->ItemIndex())->text(), "1");

  EXPECT_TRUE(dlg.cbCh2Enabled->isChecked());
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 1);
  EXPECT_EQ(dlg.lbBaudRateCh2->currentItem()->text(), "115200");
  EXPECT_EQ(dlg.lbParityCh2->currentItem()->text(), "None");
  EXPECT_EQ(dlg.rgDataBitsCh2->Button(dlg.rgDataBitsCh2->ItemIndex())->text(), "7");
  EXPECT_EQ(dlg.rgStopBitsCh2->Button(dlg.rgStopBitsCh2->ItemIndex())->text(), "2");

  // The next activation shows the record as it is then.
  Comparam().Channel[1].Enabled = false;
  Comparam().Channel[1].Parity = 3;
  QCoreApplication::sendEvent(&dlg, &activate);
  EXPECT_FALSE(dlg.cbCh2Enabled->isChecked());
  EXPECT_EQ(dlg.lbParityCh2->currentItem()->text(), "Mark");
}

TEST_F(ChannelDlgTest, BecomingTheActiveWindowRefills) {
  dlg.show();
  dlg.activateWindow();
  ASSERT_TRUE(test::RunUntil([&] { return dlg.isActiveWindow(); }));
  EXPECT_EQ(dlg.lbBaudRateCh1->count(), 16);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 1);
  dlg.hide();
}

TEST_F(ChannelDlgTest, BaudListHoldsTheSixteenRatesAfterEveryFill) {
  for (int fill = 0; fill < 3; ++fill) {
    dlg.FormActivate();
    for (QListWidget* list : {dlg.lbBaudRateCh1, dlg.lbBaudRateCh2}) {
      ASSERT_EQ(list->count(), 16);
      EXPECT_EQ(list->item(0)->text(), "110");
      EXPECT_EQ(list->item(14)->text(), "115200");
      EXPECT_EQ(list->item(15)->text(), "1001");
    }
  }
}

TEST_F(ChannelDlgTest, PortButtonsFollowUsabilityAndShowTheirDevices) {
  ports.usable = {2, 5};
  ports.devices[5] = "/dev/ttyUSB0";
  Comparam().Channel[0].Port = 3;  // not usable, still shown as stored
  dlg.FormActivate();

  for (int n = 1; n <= 16; ++n) {
    QRadioButton* button = dlg.rgPortSelCh1->Button(n - 1);
    EXPECT_EQ(button->isEnabled(), n == 2 || n == 5) << "COM " << n;
    EXPECT_TRUE(button->text().startsWith(QStringLiteral("COM %1").arg(n)));
  }
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 2);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 1);
  EXPECT_EQ(dlg.rgPortSelCh1->Button(4)->text(), "COM 5  ttyUSB0");
  EXPECT_EQ(dlg.rgPortSelCh1->Button(4)->toolTip(), "/dev/ttyUSB0");
  EXPECT_EQ(dlg.rgPortSelCh1->Button(0)->text(), "COM 1");

  // The device list changes between fills.
  ports.devices.erase(5);
  ports.devices[1] = "/dev/ttyS0";
  dlg.FormActivate();
  EXPECT_EQ(dlg.rgPortSelCh1->Button(4)->text(), "COM 5");
  EXPECT_EQ(dlg.rgPortSelCh2->Button(0)->text(), "COM 1  ttyS0");
}

TEST_F(ChannelDlgTest, WithoutAnyUsablePortNoPortIsSelectedAndOkIsRefused) {
  dlg.FormActivate();  // a port selected from the earlier fill
  ports.usable.clear();
  dlg.FormActivate();
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), -1);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), -1);

  const TComparam stored = Comparam();
  dlg.lbBaudRateCh2->setCurrentRow(3);
  dlg.OKBtn->click();
  ASSERT_EQ(parts.messages.shown.size(), 1u);
  EXPECT_EQ(parts.messages.shown[0].kind, test::FakeMessageService::Kind::Error);
  EXPECT_EQ(parts.messages.shown[0].text, "Channel 1 is enabled but no COM port is selected");
  EXPECT_TRUE(SameComparam(Comparam(), stored));
  EXPECT_TRUE(results.empty());
  EXPECT_TRUE(ports.closed.empty());

  // With channel 1 disabled the message names channel 2.
  dlg.cbCh1Enabled->setChecked(false);
  dlg.OKBtn->click();
  ASSERT_EQ(parts.messages.shown.size(), 2u);
  EXPECT_EQ(parts.messages.shown[1].text, "Channel 2 is enabled but no COM port is selected");
  EXPECT_TRUE(results.empty());

  // Both disabled: stored, ports kept as they were in the record.
  dlg.cbCh2Enabled->setChecked(false);
  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_FALSE(Comparam().Channel[0].Enabled);
  EXPECT_FALSE(Comparam().Channel[1].Enabled);
  EXPECT_EQ(Comparam().Channel[0].Port, 1);
  EXPECT_EQ(Comparam().Channel[1].Port, 2);
  EXPECT_EQ(Comparam().Channel[1].BaudIndex.get(), 3);
  EXPECT_EQ(ports.closed, (std::vector<int>{0, 1}));
}

TEST_F(ChannelDlgTest, BothChannelsOnOnePortAreRefusedAndTheStoredParametersShowAgain) {
  dlg.FormActivate();
  const TComparam stored = Comparam();
  dlg.rgPortSelCh1->SetItemIndex(2);
  dlg.rgPortSelCh2->SetItemIndex(2);
  dlg.lbBaudRateCh1->setCurrentRow(0);
  dlg.lbParityCh2->setCurrentRow(4);
  dlg.rgDataBitsCh1->SetItemIndex(0);

  dlg.OKBtn->click();

  ASSERT_EQ(parts.messages.shown.size(), 1u);
  EXPECT_EQ(parts.messages.shown[0].kind, test::FakeMessageService::Kind::Error);
  EXPECT_EQ(parts.messages.shown[0].text, "The two channels may not use the same COM port");
  EXPECT_TRUE(SameComparam(Comparam(), stored));
  EXPECT_TRUE(results.empty());
  EXPECT_TRUE(ports.closed.empty());
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 1);
  EXPECT_EQ(dlg.lbBaudRateCh1->currentRow(), 7);
  EXPECT_EQ(dlg.lbParityCh2->currentRow(), 0);
  EXPECT_EQ(dlg.rgDataBitsCh1->ItemIndex(), 3);
}

TEST_F(ChannelDlgTest, OneDisabledChannelMayShareThePortOfTheOther) {
  dlg.FormActivate();
  dlg.cbCh2Enabled->setChecked(false);
  dlg.rgPortSelCh2->SetItemIndex(0);
  dlg.OKBtn->click();
  EXPECT_TRUE(parts.messages.shown.empty());
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(Comparam().Channel[1].Port, 1);
  EXPECT_FALSE(Comparam().Channel[1].Enabled);
}

TEST_F(ChannelDlgTest, DisablingChannel2ClosesOnlyItsPort) {
  dlg.FormActivate();
  dlg.cbCh2Enabled->setChecked(false);
  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(ports.closed, std::vector<int>{1});
  EXPECT_FALSE(Comparam().Channel[1].Enabled);
  EXPECT_TRUE(Comparam().Channel[0].Enabled);
}

TEST_F(ChannelDlgTest, OkStoresEveryControlAndClosesOnlyAMovedChannel) {
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
  const TComEntry& ch1 = Comparam().Channel[0];
  EXPECT_TRUE(ch1.Enabled);
  EXPECT_EQ(ch1.Port, 4);
  EXPECT_EQ(ch1.BaudIndex.get(), 12);
  EXPECT_EQ(ch1.Parity, 1);
  EXPECT_EQ(ch1.DataBits.get(), 6);
  EXPECT_EQ(ch1.StopBits.get(), 2);
  const TComEntry& ch2 = Comparam().Channel[1];
  EXPECT_EQ(ch2.Port, 2);
  EXPECT_EQ(ch2.BaudIndex.get(), 15);
  EXPECT_EQ(ch2.DataBits.get(), 7);
  EXPECT_EQ(ch2.StopBits.get(), 2);
}

TEST_F(ChannelDlgTest, CancelLeavesTheRecordAndThePorts) {
  dlg.FormActivate();
  const TComparam stored = Comparam();
  dlg.cbCh1Enabled->setChecked(false);
  dlg.rgPortSelCh2->SetItemIndex(6);
  dlg.lbBaudRateCh2->setCurrentRow(0);
  dlg.CancelBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Rejected});
  EXPECT_TRUE(SameComparam(Comparam(), stored));
  EXPECT_TRUE(ports.closed.empty());
  EXPECT_TRUE(parts.messages.shown.empty());
}

TEST_F(ChannelDlgTest, DamagedRecordOpensWithValidSelectionsAndStoresValidValues) {
  TComEntry& ch1 = Comparam().Channel[0];
  ch1.Parity = 9;
  ch1.DataBits = 200;
  ch1.BaudIndex = 70;
  ch1.Port = 0;
  ch1.StopBits = 0;
  TComEntry& ch2 = Comparam().Channel[1];
  ch2.Port = 250;
  ch2.DataBits = 0;
  ch2.StopBits = 65535;

  dlg.FormActivate();

  EXPECT_EQ(dlg.lbParityCh1->currentRow(), 4);
  EXPECT_EQ(dlg.rgDataBitsCh1->ItemIndex(), 3);
  EXPECT_EQ(dlg.lbBaudRateCh1->currentRow(), 15);
  EXPECT_EQ(dlg.rgPortSelCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.rgStopBitsCh1->ItemIndex(), 0);
  EXPECT_EQ(dlg.rgPortSelCh2->ItemIndex(), 15);
  EXPECT_EQ(dlg.rgDataBitsCh2->ItemIndex(), 0);
  EXPECT_EQ(dlg.rgStopBitsCh2->ItemIndex(), 1);

  dlg.OKBtn->click();
  EXPECT_EQ(results, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(ch1.Parity, 4);
  EXPECT_EQ(ch1.DataBits.get(), 8);
  EXPECT_EQ(ch1.BaudIndex.get(), 15);
  EXPECT_EQ(ch1.Port, 1);
  EXPECT_EQ(ch1.StopBits.get(), 1);
  EXPECT_EQ(ch2.Port, 16);
  EXPECT_EQ(ch2.DataBits.get(), 5);
  EXPECT_EQ(ch2.StopBits.get(), 2);
}

TEST_F(ChannelDlgTest, ExtraButtonsAreThereButDisabled) {
  EXPECT_EQ(dlg.windowTitle(), "Line parameters");
  EXPECT_EQ(dlg.PrintScreenBtn->text(), "Print Screen");
  EXPECT_FALSE(dlg.PrintScreenBtn->isEnabled());
  EXPECT_EQ(dlg.HelpBtn->text(), "Help");
  EXPECT_FALSE(dlg.HelpBtn->isEnabled());
  EXPECT_TRUE(dlg.OKBtn->isDefault());
}

}  // namespace
}  // namespace klv
