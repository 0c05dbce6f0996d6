#include "help/ui/OnlineHelp.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "help/ui/PrintOutput.h"

namespace klv {
namespace {

struct THelpPageFile {
  const char* caption;
  const char* resource;
};

// In the order of the help contexts of the windows.
constexpr std::array<THelpPageFile, kHelpPages> kPageFiles{{
    {"General", ":/help/General.txt"},
    {"Hex-ASCII/TTY", ":/help/HexAsciiTTY.txt"},
    {"Protocols", ":/help/Protocols.txt"},
    {"Miscellaneous", ":/help/Miscellaneous.txt"},
    {"String library", ":/help/StringLibrary.txt"},
    {"Triggers", ":/help/Triggers.txt"},
    {"Log", ":/help/Log.txt"},
}};

constexpr int kTabColumns = 8;
const QString kIndent(8, QLatin1Char(' '));

bool ValidPage(int page) {
  return page >= 0 && page < kHelpPages;
}

// Courier New where it is installed; fontconfig maps the name to Liberation
// Mono (same metrics) on most Linux systems.
QFont CourierNew(double points, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Tabs to blanks, other control characters dropped: the printer gets plain text.
QString PrintableLine(const QString& line) {
  QString out;
  for (QChar ch : line) {
    if (ch == QLatin1Char('\t'))
      out += QString(kTabColumns - out.size() % kTabColumns, QLatin1Char(' '));
    else if (ch.unicode() >= 0x20)
      out += ch;
  }
  return out;
}

class THelpTextPrinter {
 public:
  explicit THelpTextPrinter(QPrinter& printer) : printer_(printer) {}

  bool Begin() {
    if (!painter_.begin(&printer_))
      return false;
    const QRectF page = printer_.pageLayout().paintRectPixels(printer_.resolution());
    width_ = page.width();
    height_ = page.height();
    return true;
  }
  bool End() { return painter_.end(); }

  // One line of text; what does not fit the width goes on in further lines
  // that start with `continuation`.
  bool Line(QString text, const QFont& font, const QString& continuation) {
    painter_.setFont(font);
    const QFontMetricsF metrics(font, &printer_);
    do {
      qsizetype fits = text.size();
      while (fits > continuation.size() + 1 && metrics.horizontalAdvance(text.left(fits)) > width_)
        --fits;
      if (!Draw(text.left(fits), metrics))
        return false;
      text = text.mid(fits);
      if (!text.isEmpty())
        text.prepend(continuation);
    } while (!text.isEmpty());
    return true;
  }

 private:
  // Pages are turned only for something to print: no empty last page.
  bool Draw(const QString& text, const QFontMetricsF& metrics) {
    if (y_ > 0 && y_ + metrics.height() > height_) {
      if (!printer_.newPage())
        return false;
      y_ = 0;
    }
    painter_.drawText(QPointF(0, y_ + metrics.ascent()), text);
    y_ += metrics.lineSpacing();
    return true;
  }

  QPrinter& printer_;
  QPainter painter_;
  double width_ = 0;
  double height_ = 0;
  double y_ = 0;  // top of the next line
};

}  // namespace

QString HelpPageCaption(int page) {
  return ValidPage(page) ? QString::fromLatin1(kPageFiles[static_cast<std::size_t>(page)].caption)
                         : QString();
}

QString HelpPageText(int page) {
  if (!ValidPage(page))
    return {};
  QFile file(QString::fromLatin1(kPageFiles[static_cast<std::size_t>(page)].resource));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QString text = QString::fromUtf8(file.readAll());
  text.remove(QLatin1Char('\r'));
  while (text.endsWith(QLatin1Char('\n')))
    text.chop(1);
  return text;
}

QString HelpPrintHeader(int page) {
  return QStringLiteral("          KLV V3.02       Online help. Page:") +
         QString::number(page + 1) + QLatin1Char(' ') + HelpPageCaption(page);
}

bool PrintHelpText(QPrinter& printer, const QString& header, const QStringList& lines) {
  THelpTextPrinter out(printer);
  if (!out.Begin())
    return false;
  const QFont headerFont = CourierNew(14, true);
  const QFont textFont = CourierNew(10, false);
  bool printed = out.Line(PrintableLine(header), headerFont, QString()) &&
                 out.Line(QString(), textFont, kIndent);
  for (qsizetype i = 0; printed && i < lines.size(); ++i)
    printed = out.Line(kIndent + PrintableLine(lines[i]), textFont, kIndent);
  return out.End() && printed;
}

TOnlineHelp::TOnlineHelp(TPrintOutput& output, QWidget* parent) : QDialog(parent), output_(output) {
  setObjectName(QStringLiteral("OnlineHelp"));
  setWindowTitle(QStringLiteral("Kelvora 32 Online Help"));
  PageControl = new QTabWidget(this);
  PageControl->setObjectName(QStringLiteral("PageControl"));
  QFont textFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int page = 0; page < kHelpPages; ++page) {
    auto* memo = new QPlainTextEdit(PageControl);
    memo->setObjectName(QStringLiteral("Memo%1").arg(page + 1));
    memo->setReadOnly(true);
    memo->setFont(textFont);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setPlainText(HelpPageText(page));
    Memo[static_cast<std::size_t>(page)] = memo;
    PageControl->addTab(memo, HelpPageCaption(page));
  }

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  btnPrint = new QPushButton(QStringLiteral("&Print"), this);
  btnPrint->setObjectName(QStringLiteral("btnPrint"));
  btnPrint->setToolTip(QStringLiteral("Print this page"));
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnPrint, &QPushButton::clicked, this, &TOnlineHelp::btnPrintClick);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnPrint);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PageControl, 1);
  layout->addLayout(buttons);
  // Room for a full line of the pages (78 columns), all seven tabs, and a
  // good part of a page.
  const QFontMetrics metrics(textFont);
  const int width = std::max(metrics.horizontalAdvance(QString(84, QLatin1Char('0'))),
                             PageControl->tabBar()->sizeHint().width() + 24);
  resize(width, metrics.lineSpacing() * 32);
}

void TOnlineHelp::ShowPage(int page) {
  HelpPage = ValidPage(page) ? page : 0;
  if (isVisible()) {  // already open (modal): only turn to the page
    PageControl->setCurrentIndex(HelpPage);
    raise();
    return;
  }
  exec();
}

int TOnlineHelp::CurrentPage() const {
  return PageControl->currentIndex();
}

QString TOnlineHelp::PageText(int page) const {
  return ValidPage(page) ? Memo[static_cast<std::size_t>(page)]->toPlainText() : QString();
}

void TOnlineHelp::showEvent(QShowEvent* event) {
  PageControl->setCurrentIndex(HelpPage);
  Memo[static_cast<std::size_t>(HelpPage)]->moveCursor(QTextCursor::Start);
  QDialog::showEvent(event);
}

void TOnlineHelp::btnPrintClick() {
  const int page = CurrentPage();
  const QStringList lines = PageText(page).split(QLatin1Char('\n'));
  const QString header = HelpPrintHeader(page);
  output_.Print(QStringLiteral("help page"), this,
                [&](QPrinter& printer) { return PrintHelpText(printer, header, lines); });
}

}  // namespace klv
