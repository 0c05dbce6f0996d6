// The about box: its texts and icon, and its web and mail lines opened on the
// desktop (here a recording opener).
#include "help/ui/AboutBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include "serial/SerialVersion.h"
#include "support/FakeMessageService.h"

namespace klv {
namespace {

TEST(AboutBox, ShowsTheProgramItsVersionsAndTheMaker) {
  QPixmap red(32, 32);
  red.fill(Qt::red);
  const QIcon previous = QApplication::windowIcon();
  QApplication::setWindowIcon(QIcon(red));
  test::FakeMessageService messages;
  TAboutBox about(messages, [](const QUrl&) { return true; });
  QApplication::setWindowIcon(previous);

  const QImage icon = about.ProgramIcon->pixmap().toImage();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2), QColor(Qt::red));
  EXPECT_EQ(about.ProductName->text(), QStringLiteral("Kelvora 32"));
  EXPECT_EQ(about.Version->text(), QStringLiteral("KLV V3.02"));
  EXPECT_EQ(about.SerialVersion->text(),
            QStringLiteral("Serial port layer: ") + QString::fromUtf8(kSerialLayerVersion));
  EXPECT_EQ(about.PostalAddress->text().count(QLatin1Char('\n')), 3);
  EXPECT_EQ(about.WebLink->text(), QString::fromLatin1(kMakerWeb));
  EXPECT_EQ(about.MailLink->text(), QString::fromLatin1(kMakerMail));
}

// A click (or Enter or Space) on the web line opens the page, on the mail line
// a new mail to the address; when the desktop opens nothing the user is told.
TEST(AboutBox, WebAndMailLinesOpenOnTheDesktop) {
  enum class How { Click, RightClick, Space, Enter };
  const struct {
    const char* name;
    bool mail;
    How how;
    bool desktopOpens;
    const char* opened;  // empty: nothing asked of the desktop
    bool error;
  } cases[] = {
      {"web, click", false, How::Click, true, "https://www.kelvora.example/", false},
      {"mail, click", true, How::Click, true, "mailto:support@kelvora.example", false},
      {"web, space", false, How::Space, true, "https://www.kelvora.example/", false},
      {"mail, enter", true, How::Enter, true, "mailto:support@kelvora.example", false},
      {"web, right click", false, How::RightClick, true, "", false},
      {"mail, no mail program", true, How::Click, false, "mailto:support@kelvora.example", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeMessageService messages;
    QList<QUrl> opened;
    TAboutBox about(messages, [&](const QUrl& url) {
      opened << url;
      return c.desktopOpens;
    });
    about.show();
    TLinkLabel* line = c.mail ? about.MailLink : about.WebLink;
    switch (c.how) {
      case How::Click:
        QTest::mouseClick(line, Qt::LeftButton);
        break;
      case How::RightClick:
        QTest::mouseClick(line, Qt::RightButton);
        break;
      case How::Space:
        QTest::keyClick(line, Qt::Key_Space);
        break;
      case How::Enter:
        QTest::keyClick(line, Qt::Key_Return);
        break;
    }
    const QList<QUrl> expected =
        *c.opened ? QList<QUrl>{QUrl(QString::fromLatin1(c.opened))} : QList<QUrl>{};
    EXPECT_EQ(opened, expected);
    ASSERT_EQ(messages.shown.size(), c.error ? 1u : 0u);
    if (c.error) {
      EXPECT_TRUE(messages.shown[0].text.contains(QString::fromLatin1(c.opened)));
    }
    EXPECT_TRUE(about.isVisible()) << "the box stays open";
  }
}

}  // namespace
}  // namespace klv
