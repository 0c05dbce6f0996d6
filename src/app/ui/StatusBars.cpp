#include "app/ui/StatusBars.h"

#include <QHBoxLayout>
#include <QTime>
#include <algorithm>

namespace klv {
namespace {

QString PanelStyle(const QColor& color) {
  return QStringLiteral("QPushButton { padding: 1px 6px; border: 1px solid #b0b0b0; color: %1; }")
      .arg(color.name());
}

QLabel* Indicator(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setContentsMargins(4, 0, 4, 0);
  return label;
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, color);
  palette.setColor(QPalette::ButtonText, color);
  widget->setPalette(palette);
  if (auto* button = qobject_cast<QPushButton*>(widget))
    button->setStyleSheet(PanelStyle(color));
}

}  // namespace

QPushButton* BarPanel(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFlat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setStyleSheet(PanelStyle(Qt::black));
  return button;
}

// ---- parameter bar ---------------------------------------------------------------

TParameterBar::TParameterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ParameterBar"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  PanelDisplayMode = Indicator(QString(), this);
  PanelDisplayMode->setMinimumWidth(160);
  PanelRunStatus = BarPanel(QStringLiteral("Running"), this);
  PanelTransmittIndicator = Indicator(QString(), this);
  PanelTransmittIndicator->setMinimumWidth(30);
  PanelTransmittIndicator->setStyleSheet(QStringLiteral("color: red;"));
  PanelCurrentString = BarPanel(QString(), this);
  PanelClock = Indicator(QString(), this);
  layout->addWidget(PanelDisplayMode);
  layout->addWidget(PanelRunStatus);
  layout->addStretch(1);
  layout->addWidget(PanelTransmittIndicator);
  layout->addWidget(PanelCurrentString);
  layout->addWidget(PanelClock);

  TimerXmitIndicator.setSingleShot(true);
  TimerXmitIndicator.setInterval(250);
  connect(&TimerXmitIndicator, &QTimer::timeout, PanelTransmittIndicator, &QLabel::clear);
}

void TParameterBar::ShowCurrentString(const QString& text, const QString& hint) {
  PanelCurrentString->setText(text);
  PanelCurrentString->setToolTip(hint);
  PanelCurrentString->setStatusTip(hint);
}

void TParameterBar::ShowRunStatus(bool paused, bool blinkPhase) {
  PanelRunStatus->setText(paused ? QStringLiteral("PAUSED") : QStringLiteral("Running"));
  PanelRunStatus->setStyleSheet(PanelStyle(paused && blinkPhase ? Qt::red : Qt::black));
}

void TParameterBar::ShowClock(const QTime& time) {
  PanelClock->setText(time.toString(QStringLiteral("HH:mm:ss")));
}

void TParameterBar::FlashTransmitIndicator(int channel) {
  TimerXmitIndicator.start();
  PanelTransmittIndicator->setText(QStringLiteral("T%1").arg(channel + 1));
}

// ---- channel status bar ----------------------------------------------------------

TChannelStatusBar::TChannelStatusBar(int channel, QWidget* parent)
    : QWidget(parent), channel_(channel) {
  setObjectName(channel == 0 ? QStringLiteral("StatusBarP") : QStringLiteral("StatusBarS"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(2);
  PanelChannel = BarPanel(QStringLiteral("Channel %1").arg(channel + 1), this);
  PanelComPort = BarPanel(QString(), this);
  PanelBaudRate = BarPanel(QString(), this);
  PanelDataBits = BarPanel(QString(), this);
  PanelParity = BarPanel(QString(), this);
  PanelStopBits = BarPanel(QString(), this);
  PanelNewLine = BarPanel(QString(), this);
  PanelRTS = BarPanel(QStringLiteral("RTS"), this);
  PanelDTR = BarPanel(QStringLiteral("DTR"), this);
  PanelCTS = Indicator(QStringLiteral("CTS"), this);
  PanelDSR = Indicator(QStringLiteral("DSR"), this);
  PanelDCD = Indicator(QStringLiteral("DCD"), this);
  PanelRI = Indicator(QStringLiteral("RI"), this);
  pnTrig = BarPanel(QStringLiteral("Tr-Unused"), this);
  // Each panel is as wide as its widest value, so that the two bars line up
  // whatever they show; the tooltips say what a click does.
  struct TPanel {
    QWidget* widget;
    const char* widest;
    const char* hint;
  };
  const TPanel panels[] = {
      {PanelChannel, "Channel 2", "Line parameters of both channels"},
      {PanelComPort, "COM16 closed", ""},
      {PanelBaudRate, "115200", "Baud rate; a click sets the next one at once"},
      {PanelDataBits, "8", "Data bits; a click sets the next one (5 to 8) at once"},
      {PanelParity, "N",
       "Parity (None, Odd, Even, Mark, Space); a click sets the next one at once"},
      {PanelStopBits, "2", "Stop bits; a click switches between 1 and 2 at once"},
      {PanelNewLine, "NL>FFH",
       "New-line character of the display mode; a click opens Display Setup"},
      {PanelRTS, "RTS", "Output line RTS, red while on; a click switches it"},
      {PanelDTR, "DTR", "Output line DTR, red while on; a click switches it"},
      {PanelCTS, "CTS", "Input line CTS, red while on"},
      {PanelDSR, "DSR", "Input line DSR, red while on"},
      {PanelDCD, "DCD", "Input line DCD, red while on"},
      {PanelRI, "RI", "Input line RI, red while on"},
      {pnTrig, "Tr-Stopped", "The channel's trigger"}};
  for (const TPanel& panel : panels) {
    panel.widget->setToolTip(QString::fromLatin1(panel.hint));
    const int textWidth =
        panel.widget->fontMetrics().horizontalAdvance(QString::fromLatin1(panel.widest));
    panel.widget->setMinimumWidth(textWidth + panel.widget->fontMetrics().averageCharWidth() * 3);
    layout->addWidget(panel.widget);
    SetLineColor(panel.widget, false);
  }
  if (channel == 1) {
    HintPanel = new QLabel(this);
    // A long hint is cut off, never widening the window.
    HintPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(HintPanel, 1);
  } else {
    layout->addStretch(1);
  }
}

void TChannelStatusBar::SetLineColor(QWidget* widget, bool on) {
  SetTextColor(widget, on              ? QColor(Qt::red)
                       : channel_ == 0 ? QColor(Qt::black)
                                       : QColor(0, 0, 255));
}

void TChannelStatusBar::ShowParameters(const TComEntry& entry, const QString& newLineText,
                                       const QString& device, const QString& trouble,
                                       const QString& reason) {
  PanelNewLine->setText(newLineText);
  PanelComPort->setText(QStringLiteral("COM%1").arg(entry.Port) +
                        (trouble.isEmpty() ? QString() : QLatin1Char(' ') + trouble));
  PanelComPort->setToolTip((trouble.isEmpty() ? device : reason) +
                           QStringLiteral("\nA click moves the channel to the next free port."));
  SetLineColor(PanelComPort, !trouble.isEmpty());
  PanelBaudRate->setText(
      QString::number(BaudTable[std::min<std::size_t>(entry.BaudIndex, BaudTable.size() - 1)]));
  PanelDataBits->setText(QString::number(entry.DataBits));
  PanelParity->setText(QString(
      QChar::fromLatin1(ParityChars[std::min<std::size_t>(entry.Parity, ParityChars.size() - 1)])));
  PanelStopBits->setText(QString::number(entry.StopBits));
}

void TChannelStatusBar::ShowOutputs(bool rts, bool dtr) {
  SetLineColor(PanelRTS, rts);
  SetLineColor(PanelDTR, dtr);
}

void TChannelStatusBar::ShowInputs(bool cts, bool dsr, bool dcd, bool ri) {
  SetLineColor(PanelCTS, cts);
  SetLineColor(PanelDSR, dsr);
  SetLineColor(PanelDCD, dcd);
  SetLineColor(PanelRI, ri);
}

void TChannelStatusBar::ShowTrigger(const QString& text, bool active, bool blinkPhase) {
  pnTrig->setText(text);
  if (active) {
    SetLineColor(pnTrig, blinkPhase);
  } else {
    SetTextColor(pnTrig, Qt::black);  // an unused trigger stays black on either channel
  }
}

}  // namespace klv
