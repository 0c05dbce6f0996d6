// The two channels: their ports, the ordered road of received bytes and
// modem-line changes to the renderers, the transmission services and the
// line parameters as the status bars step them. Tells the window what
// changed through signals.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

#include "app/ReceiveDispatcher.h"
#include "common/ChannelActivity.h"
#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "conf/ConfRecord.h"
#include "serial/ComPort.h"

namespace klv {

// What the line parameters dialog needs of the channels.
class IChannelPorts {
 public:
  virtual ~IChannelPorts() = default;
  // Free now, or open on that number by this program.
  virtual bool PortUsable(int comNumber) = 0;
  // The device COM n maps to (for example "/dev/ttyUSB0"), empty when none.
  virtual QString PortDevice(int comNumber) = 0;
  // Closes the port of channel 0 or 1.
  virtual void ClosePort(int channel) = 0;
};

enum class TLineParameter { Port, Baud, DataBits, Parity, StopBits };
enum class TLines { Outputs, Inputs, All };

class TChannels : public QObject,
                  public IChannelServices,
                  public IChannelPorts,
                  public IChannelActivitySlots {
  Q_OBJECT

 public:
  TChannels(TConf& conf, TReceiveDispatcher& dispatcher, IMessageService& messages,
            QObject* parent = nullptr);
  ~TChannels() override;

  TComPort& Port(int channel) { return channel == 0 ? PrimaryPort : SecondaryPort; }
  const TComPort& Port(int channel) const { return channel == 0 ? PrimaryPort : SecondaryPort; }

  // Whether a device exists on COM n, also when another program holds it.
  bool PortPresent(int comNumber);
  // Opens, re-applies or closes both ports as the record says, each channel
  // on its own. A setting the device refuses is reported, and the record
  // goes back to what the device runs. Returns false when a port failed to
  // open (the user has been told why).
  bool OpenChannels();
  void CloseChannels();
  // Why an enabled channel's port does not run: "lost" when its device
  // vanished, "closed" when it could not be opened, with the reason in
  // `reason`; empty while it runs.
  QString PortTrouble(int channel, QString* reason = nullptr) const;

  // IChannelPorts
  bool PortUsable(int comNumber) override;
  QString PortDevice(int comNumber) override;
  void ClosePort(int channel) override;

  // The next value of a status-bar setting, stored and applied at once.
  void StepLineParameter(int channel, TLineParameter which);
  // Inverts an output line and stores it in the record.
  void ToggleRTS(int channel);
  void ToggleDTR(int channel);

  // Received bytes of a channel, as the port delivers them or as local echo
  // returns them: rendered in arrival order, never inside another rendering.
  void ProcessReceivedBytes(int channel, const QByteArray& bytes);
  // Renders everything received and not yet rendered, also what the ports
  // have read and not yet handed over (before the program exits).
  void DrainReceived();
  // How many received bytes wait to be rendered; a waiting modem-line
  // change counts as one.
  std::size_t ReceivedWaiting() const { return order_.WaitingBytes() + (order_.Empty() ? 0 : 1); }
  void ReportModemStatus(int channel);
  void ShowModemChange(int channel, const TModemStatusRecord& record);

  // IChannelServices
  bool ChannelAvailable(int channel) const override;
  void OutputString(int channel, std::string_view bytes) override;
  int ChannelOutputRoom(int channel) const override;
  void DiscardChannelOutput(int channel) override;
  bool ChannelCTS(int channel) const override;
  void SetChannelRTS(int channel, bool on) override;
  void SetChannelDTR(int channel, bool on) override;

  // IChannelActivitySlots: taking a slot again by its holder succeeds;
  // closing a channel or losing its device stops its activity too.
  bool TakeActivity(int channel, IChannelActivity& activity) override;
  void ReleaseActivity(int channel, const IChannelActivity& activity) override;
  IChannelActivity* Activity(int channel) const override {
    return activities_[static_cast<std::size_t>(channel)];
  }
  void StopActivity(int channel) override;

  TComPort PrimaryPort;
  TComPort SecondaryPort;

 signals:
  // A channel opened, closed, was lost or took new parameters.
  void ChannelsChanged();
  // Line states the status bar shows have changed.
  void LinesChanged(int channel, klv::TLines which);
  // Bytes were written to the channel's port.
  void Transmitting(int channel);

 private:
  bool ApplyPort(int channel);
  bool OpenPort(int channel, const LineSettings& wanted);
  void ApplySettings(int channel, const LineSettings& wanted);
  void OnTriggerAvail(int channel, int count);
  // Drains the receive order now, or from the event loop soon; a drain that
  // stops at its budget posts the next.
  void DrainNow();
  void DrainSoon();
  void OnTriggerModemStatus(int channel);
  void OnPortError(int channel, const QString& message);
  bool LogsModemChanges(int channel) const;
  void SetOutputLine(int channel, int line, bool on);

  TConf& conf_;
  IMessageService& messages_;
  TReceiveOrder order_;
  bool drainPosted_ = false;
  std::array<bool, 2> overflowShown_{};
  std::array<std::uint16_t, 2> modemTriggers_{};
  std::array<QString, 2> lostReason_;
  std::array<QString, 2> openFailure_;
  std::array<IChannelActivity*, 2> activities_{};
};

}  // namespace klv
