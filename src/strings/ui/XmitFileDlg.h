// The file transmission dialog ("Transmitt File"): a file name, Browse, a
// transmit button for each channel, Abort, and a progress bar with the byte
// count, the file's size and the rate. While a file goes out, Abort is the
// only active control. OK remembers the file name in the record.
#pragma once

#include <QDialog>
#include <functional>

#include "common/ChannelActivity.h"
#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "strings/FileTransmitter.h"
#include "strings/FileXmission.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace klv {

class TXmitFileDlg : public QDialog {
  Q_OBJECT

 public:
  // `outputSize` is the size of the ports' output buffers.
  TXmitFileDlg(TFileXmission& settings, IChannelServices& channels,
               IChannelActivitySlots& activities, IMessageService& messages, int outputSize,
               QWidget* parent = nullptr);

  // The file chosen with Browse; empty when the user cancels. An open-file
  // dialog, unless replaced.
  std::function<QString()> ChooseFile;

  TFileTransmitter& Transmitter() { return *transmitter_; }
  bool Busy() const { return transmitter_->Running(); }
  void UpdateButtons();

  void accept() override;
  void reject() override;

  QLineEdit* ebFileName;
  QPushButton* btnBrowse;
  QPushButton* BtnTransmitt_1;
  QPushButton* BtnTransmitt_2;
  QPushButton* btnAbort;
  QProgressBar* Progress;
  QLabel* PanelProgress;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Transmit(int channel);
  void ShowProgress(std::int64_t sent, std::int64_t size);

  TFileXmission& settings_;
  IChannelServices& channels_;
  IMessageService& messages_;
  TFileTransmitter* transmitter_;
};

}  // namespace klv
