// The DRL import dialog: the import goes into the staging copy, which OK puts
// in place and Cancel drops; the check boxes choose what is taken.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "strings/DrlImport.h"
#include "strings/ui/ImportDrlDlg.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

bool Same(const auto& a, const auto& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class ImportDrlDlgTest : public testing::Test {
 protected:
  ImportDrlDlgTest() {
    SetLibraryDefaults(conf_.Strngs);
    conf_.Strngs.CurrentNr = 80;
    conf_.Strngs.Strings[0].Str.assign("old");
    conf_.Strngs.Strings[90].Str.assign("kept");
    conf_.Protocolparam = Ruvo94RuleSet();
    // A DRL file whose first entry is named "Kör" in IBM-PC codes and whose
    // parameters differ from the Ruvo-94 set.
    std::vector<std::uint8_t> image(kDrlImageSize, 0);
    const std::size_t first = kDrlStringTable;
    image[first + kDrlEntryStr] = 2;
    image[first + kDrlEntryStr + 1] = 'h';
    image[first + kDrlEntryStr + 2] = 'i';
    image[first + kDrlEntryName] = 3;
    std::memcpy(&image[first + kDrlEntryName + 1], "K\x94r", 3);
    image[kDrlChecksumStart] = 2;
    image[kDrlLengthPos] = 7;
    image[kDrlChecksumAlg] = 2;
    file_ = dir_.filePath(QStringLiteral("Config.DRL"));
    QFile out(file_);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
  }

  std::unique_ptr<TImportDRLCfgDlg> Open() {
    auto dlg = std::make_unique<TImportDRLCfgDlg>(conf_, messages_);
    dlg->ChooseFile = [this] {
      ++chosen_;
      return choice_;
    };
    dlg->show();
    return dlg;
  }

  QTemporaryDir dir_;
  QString file_;
  QString choice_;
  int chosen_ = 0;
  TConf conf_{};
  test::FakeMessageService messages_;
};

TEST_F(ImportDrlDlgTest, OkPutsTheImportInPlaceAndCancelDropsIt) {
  for (const bool ok : {true, false}) {
    const TConf before = conf_;
    auto dlg = Open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Import DRL configuration file"));
    for (QCheckBox* box :
         {dlg->cbIMportStringLibrary, dlg->cbProtocolParameters, dlg->cbStrNameSwCharConv})
      EXPECT_TRUE(box->isChecked());
    choice_ = file_;
    messages_.shown.clear();
    dlg->btnImport->click();
    ASSERT_EQ(messages_.Texts(),
              std::vector<QString>{"Import DRL configuration file " + file_ + " into KLV?"});
    EXPECT_EQ(messages_.shown[0].buttons, TMsgButton::Yes | TMsgButton::No);
    EXPECT_TRUE(Same(conf_, before));  // nothing before OK
    const QStringList lines = dlg->MemoDbg->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), kDrlStrings);
    EXPECT_EQ(lines[0], QStringLiteral(u"01 Name:   Kör"));
    EXPECT_EQ(lines[1], QStringLiteral("02 Name:   "));
    (ok ? dlg->OKBtn : dlg->CancelBtn)->click();
    EXPECT_FALSE(dlg->isVisible());
    if (!ok) {
      EXPECT_TRUE(Same(conf_, before));
      continue;
    }
    EXPECT_EQ(conf_.Strngs.Strings[0].Str.view(), "hi");
    EXPECT_EQ(conf_.Strngs.Strings[0].Name.view(), "K\xF6r");
    EXPECT_EQ(conf_.Strngs.Strings[90].Str.view(), "kept");
    EXPECT_EQ(conf_.Strngs.CurrentNr, 0);
    EXPECT_EQ(conf_.Protocolparam.ChecksumStart, 2);
    EXPECT_EQ(conf_.Protocolparam.LengthPos, 7);
    EXPECT_EQ(conf_.Protocolparam.ChecksumAlg, 2);
    conf_ = before;
  }
}

// Each box alone: only what it names changes. Without conversion the name
// keeps its IBM-PC code.
TEST_F(ImportDrlDlgTest, TheBoxesChooseWhatIsImported) {
  const TConf before = conf_;
  choice_ = file_;
  {
    auto dlg = Open();
    dlg->cbIMportStringLibrary->setChecked(false);
    dlg->btnImport->click();
    dlg->OKBtn->click();
    EXPECT_TRUE(dlg->MemoDbg->toPlainText().isEmpty());
    EXPECT_TRUE(Same(conf_.Strngs, before.Strngs));
    EXPECT_EQ(conf_.Protocolparam.LengthPos, 7);
  }
  conf_ = before;
  {
    auto dlg = Open();
    dlg->cbProtocolParameters->setChecked(false);
    dlg->cbStrNameSwCharConv->setChecked(false);
    dlg->btnImport->click();
    dlg->OKBtn->click();
    EXPECT_TRUE(Same(conf_.Protocolparam, before.Protocolparam));
    EXPECT_EQ(conf_.Strngs.Strings[0].Name.view(), "K\x94r");
  }
}

// No file chosen, No at the question, a refused file: the staging copy and
// the list stay as they were, and OK changes nothing.
TEST_F(ImportDrlDlgTest, NothingIsImportedWithoutAFileAndAYes) {
  const TConf before = conf_;
  auto dlg = Open();
  dlg->btnImport->click();  // the file dialog cancelled
  EXPECT_EQ(chosen_, 1);
  EXPECT_TRUE(messages_.shown.empty());
  choice_ = file_;
  messages_.answers = {TMsgButton::No};
  dlg->btnImport->click();
  EXPECT_TRUE(dlg->MemoDbg->toPlainText().isEmpty());
  dlg->MemoDbg->setPlainText(QStringLiteral("earlier import"));
  QFile::resize(file_, static_cast<qint64>(kDrlImageSize - 1));
  messages_.shown.clear();
  dlg->btnImport->click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].kind, test::FakeMessageService::Kind::Error);
  EXPECT_TRUE(messages_.shown[1].text.contains(file_));
  EXPECT_EQ(dlg->MemoDbg->toPlainText(), QStringLiteral("earlier import"));
  EXPECT_TRUE(Same(dlg->Staging(), before));
  dlg->OKBtn->click();
  EXPECT_TRUE(Same(conf_, before));
}

// The strings are still taken when the length position is refused.
TEST_F(ImportDrlDlgTest, ANegativeLengthPositionIsReportedAfterTheStrings) {
  QFile file(file_);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek(kDrlLengthPos + 1) &&
              file.putChar('\x80'));
  file.close();
  choice_ = file_;
  auto dlg = Open();
  dlg->btnImport->click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].kind, test::FakeMessageService::Kind::Error);
  EXPECT_TRUE(messages_.shown[1].text.contains(QStringLiteral("-32761")));
  dlg->OKBtn->click();
  EXPECT_EQ(conf_.Strngs.Strings[0].Str.view(), "hi");
  EXPECT_EQ(conf_.Protocolparam.ChecksumStart, 2);
  EXPECT_EQ(conf_.Protocolparam.LengthPos, Ruvo94RuleSet().LengthPos);
}

// The staging copy is taken when the dialog is shown, not when it is made.
TEST_F(ImportDrlDlgTest, TheStagingCopyIsTakenOnShowing) {
  TImportDRLCfgDlg dlg(conf_, messages_);
  conf_.Strngs.Strings[95].Str.assign("changed meanwhile");
  dlg.show();
  dlg.OKBtn->click();
  EXPECT_EQ(conf_.Strngs.Strings[95].Str.view(), "changed meanwhile");
}

}  // namespace
}  // namespace klv
