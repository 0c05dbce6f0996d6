// The file transmission dialog on the window's channels, with pseudo-terminals
// for ports: a binary file arrives whole, Abort is the only active control
// while it goes out, and OK remembers only a name the record holds whole.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "serial/PtyFixture.h"
#include "strings/ui/XmitFileDlg.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

using test::RunUntil;

class TransmitFile : public testing::Test {
 protected:
  void SetUp() override {
    ports_.Link(1, pty_.Slave());
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(RunUntil([&] { return form_->Started(); }));
    dialog_ = std::make_unique<TXmitFileDlg>(form_->Conf().FileXmission, form_->Channels(),
                                             form_->Channels(), messages_, TComPort::OutSize);
    dialog_->show();
  }
  // OK, Cancel, Browse, 1, 2 and Abort: 1 for enabled.
  std::string Controls() {
    std::string s;
    for (QWidget* w : std::initializer_list<QWidget*>{dialog_->OKBtn, dialog_->CancelBtn,
                                                      dialog_->btnBrowse, dialog_->BtnTransmitt_1,
                                                      dialog_->BtnTransmitt_2, dialog_->btnAbort})
      s += w->isEnabled() ? '1' : '0';
    return s;
  }

  test::TempCurrentDir dir_;
  test::Pty pty_;
  test::TestPorts ports_;
  test::DefaultProviderGuard guard_{&ports_.Provider()};
  test::FakeMessageService messages_;
  std::unique_ptr<TKLVAppForm> form_;
  std::unique_ptr<TXmitFileDlg> dialog_;
};

TEST_F(TransmitFile, BinaryFileArrivesWholeOnThePort) {
  EXPECT_TRUE(form_->StringCommands().TransmittFile1->isEnabled());
  QByteArray data;
  for (int i = 0; i < 20000; ++i)
    data.append(char((i * 131) ^ (i >> 8)));
  if (QFile file("data.bin"); file.open(QIODevice::WriteOnly))
    file.write(data);
  dialog_->ChooseFile = [] { return QStringLiteral("data.bin"); };
  dialog_->btnBrowse->click();
  EXPECT_EQ(Controls(), "111100");
  dialog_->BtnTransmitt_1->click();
  EXPECT_EQ(Controls(), "000001");
  QByteArray got;
  RunUntil([&] {
    for (std::uint8_t byte : test::ReadAvailable(pty_.Master()))
      got.append(char(byte));
    return got.size() >= data.size() && !dialog_->Busy();
  });
  EXPECT_EQ(got, data);
  EXPECT_EQ(Controls(), "111100");
  EXPECT_TRUE(dialog_->PanelProgress->text().startsWith("Transmitted bytes: 20000 of 20000"));
  EXPECT_TRUE(messages_.shown.empty());
}

// A name longer than the record's 79 bytes, or with a character outside
// Windows-1252, is refused with a message rather than cut into another name.
TEST_F(TransmitFile, OkStoresOnlyANameTheRecordHoldsWhole) {
  const struct {
    QString name;
    const char* stored;
  } cases[] = {{QString(79, 'a'), "aaaaaaaaa"},
               {QString(80, 'b'), "aaaaaaaaa"},
               {QStringLiteral("f\u0416.bin"), "aaaaaaaaa"},
               {QStringLiteral("\u00e5.bin"), "\xe5.bin"}};
  for (const auto& c : cases) {
    dialog_->ebFileName->setText(c.name);
    dialog_->OKBtn->click();
    EXPECT_TRUE(QByteArray::fromStdString(std::string(form_->Conf().FileXmission.FileName.view()))
                    .startsWith(c.stored));
  }
  EXPECT_EQ(messages_.shown.size(), 2u);
}

}  // namespace
}  // namespace klv
