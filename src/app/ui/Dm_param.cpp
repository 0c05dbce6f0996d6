#include "app/ui/Dm_param.h"

#include "common/ui/DialogButtons.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace klv {

// ---------------------------------------------------------------------------
// TCharCodeSpinEdit

TCharCodeSpinEdit::TCharCodeSpinEdit(QWidget* parent) : QSpinBox(parent) {
  setRange(0, 255);
  // The text is read-only; stepping still works, it bypasses the text.
  lineEdit()->setReadOnly(true);
}

// ---------------------------------------------------------------------------
// TFormDmSettings

namespace {

constexpr int kHexAsciiPage = 0;
constexpr int kTtyPage = 1;

const QStringList& NewLineItems() {
  static const QStringList items = {QStringLiteral(">After"), QStringLiteral("<Before"),
                                    QStringLiteral("-Ignore")};
  return items;
}

QString HexText(int code) {
  return QStringLiteral("%1H").arg(code, 2, 16, QLatin1Char('0')).toUpper();
}

TDisplayMode PageMode(int page) {
  return page == kHexAsciiPage ? TDisplayMode::HexAscii : TDisplayMode::Tty;
}

}  // namespace

TFormDmSettings::TFormDmSettings(TConfigFile& config, QWidget* parent)
    : QDialog(parent), config_(config) {
  setWindowTitle(QStringLiteral("Display Setup"));
  setModal(true);

  nbDisplayMode = new QTabWidget(this);

  // Page Hex/ASCII
  tsHexAscii = new QWidget(nbDisplayMode);
  gbNewLineHexAscii = new QGroupBox(QStringLiteral("New-Line Characters"), tsHexAscii);
  boxes_[0][kHexAsciiPage] = BuildNewLineBox(QStringLiteral("Primary Channel"), gbNewLineHexAscii);
  boxes_[1][kHexAsciiPage] =
      BuildNewLineBox(QStringLiteral("Secondary Channel"), gbNewLineHexAscii);
  auto* newLineLayout = new QHBoxLayout(gbNewLineHexAscii);
  newLineLayout->addWidget(boxes_[0][kHexAsciiPage].Box);
  newLineLayout->addWidget(boxes_[1][kHexAsciiPage].Box);
  auto* hexAsciiLayout = new QVBoxLayout(tsHexAscii);
  hexAsciiLayout->addWidget(gbNewLineHexAscii);
  hexAsciiLayout->addStretch(1);
  nbDisplayMode->addTab(tsHexAscii, QStringLiteral("Hex/ASCII"));

  // Page TTY
  tsTTY = new QWidget(nbDisplayMode);
  boxes_[0][kTtyPage] = BuildNewLineBox(QStringLiteral("Primary channel"), tsTTY);
  boxes_[1][kTtyPage] = BuildNewLineBox(QStringLiteral("Secondary channel"), tsTTY);
  mmTTYNote = new QPlainTextEdit(tsTTY);
  mmTTYNote->setReadOnly(true);
  mmTTYNote->setPlainText(
      QStringLiteral("CR,LF in the datastream are ONLY interpreted if the\n"
                     "programmed New-Line character is set to <ignore>.\n"
                     "\n"
                     "New-line is always CRLF in TTY mode.\n"
                     "Settings on this page are disregarded."));
  QPalette notePalette = mmTTYNote->palette();
  notePalette.setColor(QPalette::Base, Qt::yellow);
  notePalette.setColor(QPalette::Text, Qt::black);
  mmTTYNote->setPalette(notePalette);
  // Its five lines whole, unwrapped and unscrolled, so that it neither hides
  // text nor stretches the pages.
  mmTTYNote->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmTTYNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  mmTTYNote->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  const int noteMargin =
      2 * (mmTTYNote->frameWidth() + static_cast<int>(mmTTYNote->document()->documentMargin()));
  int noteWidth = 0;
  for (const QString& line : mmTTYNote->toPlainText().split(QLatin1Char('\n')))
    noteWidth = std::max(noteWidth, mmTTYNote->fontMetrics().horizontalAdvance(line));
  mmTTYNote->setFixedSize(noteWidth + noteMargin + mmTTYNote->fontMetrics().averageCharWidth(),
                          (mmTTYNote->fontMetrics().lineSpacing() + 1) * 5 + noteMargin + 4);
  rgCtrlChar = new TRadioGroup(
      QStringLiteral("Control Char Display"),
      {QStringLiteral("Ignore"), QStringLiteral("^C"), QStringLiteral("[stx]")}, 1, tsTTY);
  auto* ttyBoxes = new QHBoxLayout;
  ttyBoxes->addWidget(boxes_[0][kTtyPage].Box);
  ttyBoxes->addWidget(boxes_[1][kTtyPage].Box);
  auto* ttyBottom = new QHBoxLayout;
  ttyBottom->addWidget(mmTTYNote, 1);
  ttyBottom->addWidget(rgCtrlChar);
  auto* ttyLayout = new QVBoxLayout(tsTTY);
  ttyLayout->addLayout(ttyBoxes);
  ttyLayout->addLayout(ttyBottom);
  nbDisplayMode->addTab(tsTTY, QStringLiteral("TTY"));

  gbHexAsciiP = boxes_[0][kHexAsciiPage].Box;
  rgNLTypeHexAsciiP = boxes_[0][kHexAsciiPage].Type;
  seNLHexAsciiP = boxes_[0][kHexAsciiPage].Char;
  ebNLHexAsciiP = boxes_[0][kHexAsciiPage].Hex;
  gbHexAsciiS = boxes_[1][kHexAsciiPage].Box;
  rgNLTypeHexAsciiS = boxes_[1][kHexAsciiPage].Type;
  seNLHexAsciiS = boxes_[1][kHexAsciiPage].Char;
  ebNLHexAsciiS = boxes_[1][kHexAsciiPage].Hex;
  gbTTYP = boxes_[0][kTtyPage].Box;
  rgNLTypeTTYP = boxes_[0][kTtyPage].Type;
  seNLTTYP = boxes_[0][kTtyPage].Char;
  ebNLTTYP = boxes_[0][kTtyPage].Hex;
  gbTTYS = boxes_[1][kTtyPage].Box;
  rgNLTypeTTYS = boxes_[1][kTtyPage].Type;
  seNLTTYS = boxes_[1][kTtyPage].Char;
  ebNLTTYS = boxes_[1][kTtyPage].Hex;

  connect(seNLHexAsciiP, &QSpinBox::valueChanged, this, &TFormDmSettings::seNLHexAsciiChange);
  connect(seNLHexAsciiS, &QSpinBox::valueChanged, this, &TFormDmSettings::seNLHexAsciiChange);
  connect(seNLTTYP, &QSpinBox::valueChanged, this, &TFormDmSettings::seNLTTYChange);
  connect(seNLTTYS, &QSpinBox::valueChanged, this, &TFormDmSettings::seNLTTYChange);

  const TDialogButtons dialogButtons = MakeDialogButtons(this, THelpContext::Settings);
  OKBtn = dialogButtons.OK;
  CancelBtn = dialogButtons.Cancel;
  PrintScreenBtn = dialogButtons.PrintScreen;
  HelpBtn = dialogButtons.Help;
  connect(OKBtn, &QPushButton::clicked, this, &TFormDmSettings::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TFormDmSettings::CancelBtnClick);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(nbDisplayMode);
  layout->addLayout(dialogButtons.Row);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TFormDmSettings::TNewLineBox TFormDmSettings::BuildNewLineBox(const QString& caption,
                                                              QWidget* parent) {
  TNewLineBox box{};
  box.Box = new QGroupBox(caption, parent);
  box.Type = new TRadioGroup(QStringLiteral("New-Line "), NewLineItems(), 1, box.Box);
  box.Char = new TCharCodeSpinEdit(box.Box);
  box.Hex = new QLineEdit(box.Box);
  box.Hex->setReadOnly(true);
  box.Hex->setMaxLength(3);
  auto* code = new QHBoxLayout;
  code->addWidget(box.Char);
  code->addWidget(box.Hex);
  auto* layout = new QVBoxLayout(box.Box);
  layout->addWidget(box.Type);
  layout->addLayout(code);
  return box;
}

void TFormDmSettings::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TFormDmSettings::FormShow() {
  const TConf& conf = config_.Conf();
  // In Protocol mode (or with an unknown mode) the page stays as it was.
  if (conf.DisplayMode == static_cast<std::uint8_t>(TDisplayMode::HexAscii))
    nbDisplayMode->setCurrentIndex(kHexAsciiPage);
  else if (conf.DisplayMode == static_cast<std::uint8_t>(TDisplayMode::Tty))
    nbDisplayMode->setCurrentIndex(kTtyPage);

  for (int channel = 0; channel < 2; ++channel) {
    for (int page = 0; page < 2; ++page)
      FillBox(boxes_[channel][page], config_.GetNewLine(channel, PageMode(page)));
  }
  for (const auto& channelBoxes : boxes_) {
    for (const TNewLineBox& box : channelBoxes)
      RefreshHex(box);
  }
  rgCtrlChar->SetItemIndex(std::min<int>(conf.MiscInt.CtrlCharDisplay, rgCtrlChar->Count() - 1));
}

void TFormDmSettings::FillBox(const TNewLineBox& box, TNewLineEntry entry) {
  box.Char->setValue(entry.NLChar);
  box.Type->SetItemIndex(std::min<int>(entry.NLPos, box.Type->Count() - 1));
}

TNewLineEntry TFormDmSettings::BoxEntry(const TNewLineBox& box, TNewLineEntry before) {
  TNewLineEntry entry = before;
  entry.NLChar = static_cast<std::uint8_t>(box.Char->value());
  if (const int index = box.Type->ItemIndex(); index >= 0)
    entry.NLPos = static_cast<std::uint8_t>(index);
  return entry;
}

void TFormDmSettings::RefreshHex(const TNewLineBox& box) {
  box.Hex->setText(HexText(box.Char->value()));
}

void TFormDmSettings::seNLHexAsciiChange() {
  RefreshHex(boxes_[0][kHexAsciiPage]);
  RefreshHex(boxes_[1][kHexAsciiPage]);
}

void TFormDmSettings::seNLTTYChange() {
  RefreshHex(boxes_[0][kTtyPage]);
  RefreshHex(boxes_[1][kTtyPage]);
}

void TFormDmSettings::OKBtnClick() {
  for (int channel = 0; channel < 2; ++channel) {
    for (int page = 0; page < 2; ++page) {
      const TDisplayMode mode = PageMode(page);
      config_.SetNewLine(channel, mode,
                         BoxEntry(boxes_[channel][page], config_.GetNewLine(channel, mode)));
    }
  }
  if (const int index = rgCtrlChar->ItemIndex(); index >= 0)
    config_.Conf().MiscInt.CtrlCharDisplay = static_cast<std::uint8_t>(index);
  accept();
}

void TFormDmSettings::CancelBtnClick() {
  reject();
}

}  // namespace klv
