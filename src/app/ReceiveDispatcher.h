// The road of a received byte and of a modem-line change from the main
// window to the renderer of the active display mode and to the raw log.
#pragma once

#include <QByteArray>
#include <cstdint>

#include "app/Config.h"
#include "common/ReceiveInterfaces.h"

namespace klv {

class TReceiveDispatcher {
 public:
  TReceiveDispatcher(const TConf& conf, IReceiveRenderers& renderers, IReceiveLog& log)
      : conf_(conf), renderers_(renderers), log_(log) {}

  // Drops the byte while paused; otherwise hands it to the active mode's
  // renderer and, when an unformatted log format is chosen, to the log.
  void ProcessReceivedByte(int channel, std::uint8_t byte);
  void ShowModemChange(int channel, const TModemStatusRecord& record);

  // The record of a modem-status event: the port's line states, with the
  // input lines' change bits (0..3 of the status byte) as changed flags.
  static TModemStatusRecord ModemEventRecord(bool rts, bool dtr, std::uint8_t statusByte);

 private:
  const TConf& conf_;
  IReceiveRenderers& renderers_;
  IReceiveLog& log_;
};

// Bytes read from a port, waiting for the main window's data message. Every
// byte is handed on exactly once and in order, however many bytes an event
// reports and however events and messages interleave.
class TReceiveQueue {
 public:
  // Returns true when the caller must post the data message (none waits).
  bool Append(const QByteArray& bytes);
  // Takes everything waiting; the next Append posts again.
  QByteArray TakeAll();
  bool MessagePosted() const { return posted_; }

 private:
  QByteArray pending_;
  bool posted_ = false;
};

}  // namespace klv
