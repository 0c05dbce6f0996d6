// The main window's bars: the parameter bar under the tool bar and the two
// channels' status bars at the bottom.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "conf/ConfRecord.h"

namespace klv {

// A flat button of a bar.
QPushButton* BarPanel(const QString& text, QWidget* parent);

// Display mode, run status, transmit indicator, current string and clock.
class TParameterBar : public QWidget {
  Q_OBJECT

 public:
  explicit TParameterBar(QWidget* parent = nullptr);

  void ShowDisplayMode(const QString& text) { PanelDisplayMode->setText(text); }
  void ShowCurrentString(const QString& text, const QString& hint);
  // "PAUSED", red in the blink phase, or "Running".
  void ShowRunStatus(bool paused, bool blinkPhase);
  void ShowClock(const QTime& time);
  // "T1" or "T2" for 250 ms after the channel's last write.
  void FlashTransmitIndicator(int channel);

  QLabel* PanelDisplayMode;
  QPushButton* PanelRunStatus;
  QLabel* PanelTransmittIndicator;
  QPushButton* PanelCurrentString;
  QLabel* PanelClock;
  QTimer TimerXmitIndicator;
};

// One channel's line parameters, new-line setting, modem lines and trigger
// state; channel 1 draws in black, channel 2 in blue, a line that is on in red.
class TChannelStatusBar : public QWidget {
  Q_OBJECT

 public:
  TChannelStatusBar(int channel, QWidget* parent = nullptr);

  // The parameters; `trouble` ("lost", "closed") marks a port that does not
  // run, and its tooltip then gives the reason.
  void ShowParameters(const TComEntry& entry, const QString& newLineText, const QString& device,
                      const QString& trouble, const QString& reason);
  void ShowOutputs(bool rts, bool dtr);
  void ShowInputs(bool cts, bool dsr, bool dcd, bool ri);
  // "Tr-..."; an active trigger blinks red and black.
  void ShowTrigger(const QString& text, bool active, bool blinkPhase);

  QPushButton* PanelChannel;
  QPushButton* PanelComPort;
  QPushButton* PanelBaudRate;
  QPushButton* PanelDataBits;
  QPushButton* PanelParity;
  QPushButton* PanelStopBits;
  QPushButton* PanelNewLine;
  QPushButton* PanelRTS;
  QPushButton* PanelDTR;
  QLabel* PanelCTS;
  QLabel* PanelDSR;
  QLabel* PanelDCD;
  QLabel* PanelRI;
  QPushButton* pnTrig;
  // Channel 2's bar also shows what the highlighted command does.
  QLabel* HintPanel = nullptr;

 private:
  void SetLineColor(QWidget* widget, bool on);

  int channel_;
};

}  // namespace klv
