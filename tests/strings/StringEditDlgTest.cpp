// The string editor dialog: keys typed into its console edit the working
// copy; OK writes it back with the shown string as the current one, Cancel
// leaves the library as it was.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "display/ui/ConsoleWidget.h"
#include "strings/ui/StringEditDlg.h"
#include "support/FakeMessageService.h"
#include "support/RendererFakes.h"

namespace klv {
namespace {

void Press(QWidget* target, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
}

TEST(StringEditDlgTest, OkWritesTheWorkingCopyBackAndCancelDiscardsIt) {
  for (const bool ok : {true, false}) {
    TConf conf{};
    SetLibraryDefaults(conf.Strngs);
    conf.Strngs.CurrentNr = 4;
    test::FakeMessageService messages;
    test::RecordingChannels channels;
    TString_EditDlg dlg(conf, channels, messages);
    dlg.show();
    Press(dlg.StrEditor, Qt::Key_PageDown);
    for (const char c : {'H', 'i'})
      Press(dlg.StrEditor, c, QString(QLatin1Char(c)));
    Press(dlg.StrEditor, Qt::Key_Return);  // a byte, not the OK button
    Press(dlg.StrEditor, Qt::Key_Tab);
    EXPECT_EQ(dlg.PanelCursorPos->text(), QStringLiteral("4/3"));
    EXPECT_EQ(dlg.PanelInputMode->text(), QStringLiteral("Hex"));
    dlg.sbEdit->click();
    dlg.ebStrName->setText(QStringLiteral("Greeting"));
    Press(dlg.ebStrName, Qt::Key_Escape);  // leaves the name as it was
    dlg.sbEdit->click();
    dlg.ebStrName->setText(QStringLiteral("Hello"));
    dlg.BitBtnEditOK->click();
    EXPECT_TRUE(dlg.isVisible());
    (ok ? dlg.OKBtn : dlg.CancelBtn)->click();
    EXPECT_FALSE(dlg.isVisible());
    const TLibString& entry = conf.Strngs.Strings[5];
    EXPECT_EQ(entry.Str.view(), ok ? "Hi\r" : "");
    EXPECT_EQ(entry.Name.view(), ok ? "Hello" : "");
    EXPECT_EQ(conf.Strngs.CurrentNr, ok ? 5 : 4);
  }
}

}  // namespace
}  // namespace klv
