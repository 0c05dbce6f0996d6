// The main window's help commands and the help buttons of its dialogs, on the
// real window with its services.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <map>

#include "app/ConfigTestSupport.h"
#include "app/ui/Klvmain.h"
#include "help/HelpTestSupport.h"
#include "help/ui/AboutBox.h"
#include "help/ui/HelpServices.h"
#include "help/ui/OnlineHelp.h"
#include "serial/ComPort.h"
#include "serial/SerialDevice.h"
#include "support/EventLoop.h"
#include "support/FakeMessageService.h"
#include "support/PortMap.h"

namespace klv {
namespace {

using test::WhileModal;

// A window's help button: "Help" as its caption or its hint.
// The class name without the namespace.
QString ClassOf(const QObject* object) {
  return QString::fromLatin1(object->metaObject()->className()).section(QStringLiteral("::"), -1);
}

QAbstractButton* HelpButtonOf(QWidget* window) {
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (button->text().remove(QLatin1Char('&')) == QStringLiteral("Help") ||
        button->toolTip().startsWith(QStringLiteral("Help")))
      return button;
  }
  return nullptr;
}

class HelpCommands : public testing::Test {
 protected:
  void SetUp() override {
    SetDefaultDeviceProvider(&ports_);
    form_ = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
    form_->show();
    ASSERT_TRUE(test::RunUntil([&] { return form_->Started(); }));
    services_ = dynamic_cast<THelpServices*>(WindowServices());
    ASSERT_NE(services_, nullptr);
    services_->Output().SetPrinterCheck([] { return false; });
    services_->Output().SetPdfDirectory(pdfDir_.path());
    messages_.shown.clear();
  }
  void TearDown() override {
    form_.reset();
    SetDefaultDeviceProvider(nullptr);
    SetCountPortsInUse(true);
  }

  // The page the help window opens at when `action` is done; -1 when it does not open.
  int HelpPageAfter(const std::function<void()>& action) {
    int page = -1;
    WhileModal(action, [&](QDialog* modal) {
      if (auto* help = qobject_cast<TOnlineHelp*>(modal))
        page = help->CurrentPage();
    });
    return page;
  }
  template <typename T = QAction>
  T* Named(const char* name) {
    T* found = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  test::TempCurrentDir dir_;
  test::PortMap ports_;
  test::FakeMessageService messages_;
  QTemporaryDir pdfDir_;
  std::unique_ptr<TKLVAppForm> form_;
  THelpServices* services_ = nullptr;
};

TEST_F(HelpCommands, OnlineHelpAndTheHelpButtonOpenTheGeneralPage) {
  auto* item = Named("OnlineHelp1");
  auto* button = Named<QToolButton>("ButtonHelp");
  ASSERT_TRUE(item && button);
  EXPECT_TRUE(item->isEnabled() && button->isEnabled());
  EXPECT_EQ(item->shortcut(), QKeySequence(Qt::Key_F1));
  // Left at another page before each.
  EXPECT_EQ(HelpPageAfter([&] { services_->ShowHelp(THelpContext::Log); }), 6);
  EXPECT_EQ(HelpPageAfter([&] { item->trigger(); }), 0);
  EXPECT_EQ(HelpPageAfter([&] { services_->ShowHelp(THelpContext::Triggers); }), 5);
  EXPECT_EQ(HelpPageAfter([&] { button->click(); }), 0);
}

// Every dialog of the program opens the help window at its own page: those
// made at start, and those made when their command is chosen.
TEST_F(HelpCommands, EveryDialogsHelpButtonOpensItsPage) {
  const std::map<QString, int> pages{
      {"TChannelDlg", 1},      {"TFormDmSettings", 1},
      {"TImportDRLCfgDlg", 1}, {"TProprietarySettingsDlg", 2},
      {"TMiscSettingsDlg", 3}, {"TString_EditDlg", 4},
      {"TReArrStrings", 4},    {"TScriptStringTransmissionDlg", 4},
      {"TXmitFileDlg", 4},     {"TTrig_HexTTYDlg", 5},
      {"TTrig_Ruvo94Dlg", 5},  {"TLogDlg", 6},
  };
  auto check = [&](QDialog* dialog) {
    const QString name = ClassOf(dialog);
    SCOPED_TRACE(name.toStdString());
    const auto expected = pages.find(name);
    if (expected == pages.end()) {
      ADD_FAILURE() << "a dialog without its help page in this test";
      return;
    }
    QAbstractButton* help = HelpButtonOf(dialog);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(HelpPageAfter([&] { help->click(); }), expected->second);
  };

  QStringList checked;
  for (QDialog* dialog : form_->findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
    if (qobject_cast<TOnlineHelp*>(dialog) != nullptr)
      continue;
    check(dialog);
    checked << ClassOf(dialog);
  }
  for (const char* atStart : {"TChannelDlg", "TFormDmSettings", "TString_EditDlg",
                              "TScriptStringTransmissionDlg", "TTrig_HexTTYDlg", "TTrig_Ruvo94Dlg"})
    EXPECT_TRUE(checked.contains(QString::fromLatin1(atStart))) << atStart;

  for (const char* command : {"SettingsMisc", "ProprietaryProtocol", "Rearrange1"}) {
    SCOPED_TRACE(command);
    QAction* item = Named(command);
    ASSERT_TRUE(item != nullptr && item->isEnabled());
    EXPECT_TRUE(WhileModal([&] { item->trigger(); }, check));
  }
}

TEST_F(HelpCommands, PrintScreenPrintsTheMainWindow) {
  if (!test::HavePoppler())
    GTEST_SKIP() << "poppler-utils are not installed";
  auto* button = Named<QToolButton>("BtnPrtScr");
  ASSERT_TRUE(button != nullptr && button->isEnabled());
  const QSize picture = form_->grab().size();
  button->click();
  const QString path = services_->Output().LastPdfFile();
  ASSERT_TRUE(QFileInfo::exists(path));
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(messages_.shown[0].text.contains('<' + path + '>'));
  EXPECT_EQ(test::PdfImages(path), std::vector<QSize>{picture});
}

TEST_F(HelpCommands, AboutShowsTheAboutBoxWhoseLinksOpenOnTheDesktop) {
  QList<QUrl> opened;
  services_->SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  QAction* about = Named("About1");
  ASSERT_TRUE(about != nullptr && about->isEnabled());
  QString product, version;
  bool icon = false;
  const bool seen = WhileModal([&] { about->trigger(); },
                               [&](QDialog* modal) {
                                 auto* box = qobject_cast<TAboutBox*>(modal);
                                 if (box == nullptr)
                                   return;
                                 product = box->ProductName->text();
                                 version = box->Version->text();
                                 icon = !box->ProgramIcon->pixmap().isNull();
                                 QTest::mouseClick(box->WebLink, Qt::LeftButton);
                                 QTest::mouseClick(box->MailLink, Qt::LeftButton);
                                 box->OKButton->click();
                               });
  EXPECT_TRUE(seen);
  EXPECT_EQ(product, QStringLiteral("Kelvora 32"));
  EXPECT_EQ(version, QStringLiteral("KLV V3.02"));
  EXPECT_TRUE(icon) << "the program's built-in icon";
  EXPECT_EQ(opened, (QList<QUrl>{QUrl(QString::fromLatin1(kMakerWeb)),
                                 QUrl(QStringLiteral("mailto:") + kMakerMail)}));
  EXPECT_TRUE(messages_.shown.empty());
}

// A window takes away its own services when it closes, never another's.
TEST_F(HelpCommands, ClosingTheWindowTakesItsServicesAway) {
  auto second = std::make_unique<TKLVAppForm>(TAppFormSetup{{}, &messages_, nullptr, false});
  IWindowServices* secondServices = WindowServices();
  EXPECT_NE(secondServices, services_);
  form_.reset();
  EXPECT_EQ(WindowServices(), secondServices);
  second.reset();
  EXPECT_EQ(WindowServices(), nullptr);
}

}  // namespace
}  // namespace klv
