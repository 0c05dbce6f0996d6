// The about box: the program's icon, name and version, the version of the
// serial port layer and the maker's contact lines. The web and mail lines
// open in the user's browser and mail program.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QUrl>
#include <functional>

class QPushButton;

namespace klv {

class IMessageService;

// Opens a web or mailto: address on the desktop; false when nothing opened it.
using TUrlOpener = std::function<bool(const QUrl&)>;
// QDesktopServices::openUrl.
TUrlOpener DesktopUrlOpener();

// The maker's contact lines.
inline constexpr char kMakerPostal[] =
    "Kelvora Instruments\nIndustrivägen 14\nSE-582 77 Linköping\nSweden";
inline constexpr char kMakerWeb[] = "https://www.kelvora.example/";
inline constexpr char kMakerMail[] = "support@kelvora.example";

// A line of text that acts on a click (or Enter and Space when focused).
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  TLinkLabel(const QString& text, QWidget* parent);

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  TAboutBox(IMessageService& messages, TUrlOpener opener, QWidget* parent = nullptr);

  void WebLinkClick();
  void MailLinkClick();

  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* SerialVersion;
  QLabel* PostalAddress;
  TLinkLabel* WebLink;
  TLinkLabel* MailLink;
  QPushButton* OKButton;

 private:
  void Open(const QUrl& url);

  IMessageService& messages_;
  TUrlOpener opener_;
};

}  // namespace klv
