// The DRL import dialog: the import goes into a staging copy, taken when the
// dialog is shown, which OK puts in place and Cancel drops; the check boxes
// choose what is taken. What is read from the file is the engine's test.
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
  // A DRL file whose first entry is "hi", named "Kör" in IBM-PC codes, with
  // checksum start 2 and the length position -32761 (refused).
  ImportDrlDlgTest() {
    QByteArray image(kDrlImageSize, '\0');
    image.replace(kDrlStringTable + kDrlEntryStr, 3, "\x02hi");
    image.replace(kDrlStringTable + kDrlEntryName, 4, "\x03K\x94r");
    image.replace(kDrlChecksumStart, 1, "\x02");
    image.replace(kDrlLengthPos, 2, "\x07\x80");
    QFile out(file_);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(image) == image.size());
    out.close();
    conf_.Strngs.Strings[90].Str.assign("kept");
    before_ = conf_;
    dlg_.ChooseFile = [this] { return choice_; };
    dlg_.show();
  }

  QTemporaryDir dir_;
  QString file_ = dir_.filePath(QStringLiteral("Config.DRL"));
  QString choice_;
  TConf conf_{};
  TConf before_{};
  test::FakeMessageService messages_;
  TImportDRLCfgDlg dlg_{conf_, messages_};
};

// No file chosen and No at the question import nothing. The import goes
// into the copy taken on showing, which Cancel drops and OK puts in place;
// a refused file then changes neither the copy nor the list.
TEST_F(ImportDrlDlgTest, ImportGoesThroughTheStagingCopy) {
  dlg_.btnImport->click();
  EXPECT_TRUE(messages_.shown.empty());
  choice_ = file_;
  messages_.answers = {TMsgButton::No};
  dlg_.btnImport->click();
  EXPECT_TRUE(dlg_.MemoDbg->toPlainText().isEmpty());
  for (QPushButton* button : {dlg_.CancelBtn, dlg_.OKBtn}) {
    dlg_.show();
    messages_.shown.clear();
    dlg_.btnImport->click();
    ASSERT_EQ(messages_.Texts().at(0), "Import DRL configuration file " + file_ + " into KLV?");
    EXPECT_EQ(messages_.shown[0].buttons, TMsgButton::Yes | TMsgButton::No);
    // The strings are listed, and then the refused length position told.
    EXPECT_TRUE(messages_.shown.at(1).kind == test::FakeMessageService::Kind::Error &&
                messages_.shown[1].text.contains(QStringLiteral("-32761")));
    EXPECT_EQ(dlg_.MemoDbg->toPlainText().split(QLatin1Char('\n')).size(), kDrlStrings);
    EXPECT_TRUE(Same(conf_, before_));  // nothing before OK
    button->click();
    EXPECT_FALSE(dlg_.isVisible());
  }
  EXPECT_EQ(conf_.Strngs.Strings[0].Str.view(), "hi");
  EXPECT_EQ(conf_.Strngs.Strings[90].Str.view(), "kept");
  EXPECT_EQ((std::vector<int>{conf_.Protocolparam.ChecksumStart, conf_.Protocolparam.LengthPos}),
            (std::vector<int>{2, 0}));
  const QString list = dlg_.MemoDbg->toPlainText();
  QFile::resize(file_, static_cast<qint64>(kDrlImageSize - 1));
  conf_.Strngs.Strings[0].Str.assign("new");
  dlg_.show();
  messages_.shown.clear();
  dlg_.btnImport->click();
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_TRUE(messages_.shown[1].kind == test::FakeMessageService::Kind::Error &&
              messages_.shown[1].text.contains(file_));
  EXPECT_EQ(dlg_.MemoDbg->toPlainText(), list);
  dlg_.OKBtn->click();
  EXPECT_EQ(conf_.Strngs.Strings[0].Str.view(), "new");
}

// Each box alone off (all are on at first): only what it names is left out.
TEST_F(ImportDrlDlgTest, EachBoxChoosesWhatIsImported) {
  choice_ = file_;
  const std::vector<QCheckBox*> boxes = {dlg_.cbIMportStringLibrary, dlg_.cbProtocolParameters,
                                         dlg_.cbStrNameSwCharConv};
  for (std::size_t off = 0; off < boxes.size(); ++off) {
    conf_ = before_;
    dlg_.show();
    messages_.shown.clear();
    for (QCheckBox* box : boxes) {
      EXPECT_TRUE(box->isChecked());
      box->setChecked(box != boxes[off]);
    }
    dlg_.btnImport->click();
    dlg_.OKBtn->click();
    EXPECT_EQ(Same(conf_.Strngs, before_.Strngs), off == 0) << off;
    EXPECT_EQ(dlg_.MemoDbg->toPlainText().isEmpty(), off == 0) << off;
    EXPECT_EQ(Same(conf_.Protocolparam, before_.Protocolparam), off == 1) << off;
    EXPECT_EQ(messages_.shown.size(), off == 1 ? 1u : 2u) << off;
    EXPECT_EQ(conf_.Strngs.Strings[0].Name.view(), off == 0 ? "" : off == 2 ? "K\x94r" : "K\xF6r");
    boxes[off]->setChecked(true);
  }
}

}  // namespace
}  // namespace klv
