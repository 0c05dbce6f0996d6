#include "help/ui/AboutBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/MessageService.h"
#include "serial/SerialVersion.h"

namespace klv {
namespace {

constexpr int kIconSize = 64;

QIcon AboutIcon() {
  QIcon icon = QApplication::windowIcon();
  if (icon.isNull())
    icon = QIcon(QStringLiteral(":/icons/kelvora32.png"));
  return icon;
}

}  // namespace

TUrlOpener DesktopUrlOpener() {
  return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::StrongFocus);
  QFont underlined = font();
  underlined.setUnderline(true);
  setFont(underlined);
  QPalette blue = palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  setPalette(blue);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Space) {
    emit Clicked();
    return;
  }
  QLabel::keyPressEvent(event);
}

TAboutBox::TAboutBox(IMessageService& messages, TUrlOpener opener, QWidget* parent)
    : QDialog(parent), messages_(messages), opener_(std::move(opener)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About Kelvora 32"));
  ProgramIcon = new QLabel(this);
  ProgramIcon->setPixmap(AboutIcon().pixmap(kIconSize, kIconSize));
  ProductName = new QLabel(QStringLiteral("Kelvora 32"), this);
  QFont large = ProductName->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  ProductName->setFont(large);
  Version = new QLabel(QStringLiteral("KLV V3.02"), this);
  SerialVersion = new QLabel(
      QStringLiteral("Serial port layer: ") + QString::fromUtf8(kSerialLayerVersion), this);
  PostalAddress = new QLabel(QString::fromUtf8(kMakerPostal), this);
  WebLink = new TLinkLabel(QString::fromLatin1(kMakerWeb), this);
  WebLink->setToolTip(QStringLiteral("Open the web page"));
  MailLink = new TLinkLabel(QString::fromLatin1(kMakerMail), this);
  MailLink->setToolTip(QStringLiteral("Write a mail"));
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(WebLink, &TLinkLabel::Clicked, this, &TAboutBox::WebLinkClick);
  connect(MailLink, &TLinkLabel::Clicked, this, &TAboutBox::MailLinkClick);

  auto* texts = new QVBoxLayout;
  for (QWidget* line : {static_cast<QWidget*>(ProductName), static_cast<QWidget*>(Version),
                        static_cast<QWidget*>(SerialVersion)})
    texts->addWidget(line);
  texts->addSpacing(12);
  texts->addWidget(PostalAddress);
  texts->addWidget(WebLink);
  texts->addWidget(MailLink);
  auto* top = new QHBoxLayout;
  top->addWidget(ProgramIcon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
}

void TAboutBox::WebLinkClick() {
  Open(QUrl(QString::fromLatin1(kMakerWeb)));
}

void TAboutBox::MailLinkClick() {
  Open(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kMakerMail)));
}

void TAboutBox::Open(const QUrl& url) {
  if (!opener_ || !opener_(url))
    messages_.Error(QStringLiteral("The desktop could not open <") + url.toString() +
                    QStringLiteral(">."));
}

}  // namespace klv
