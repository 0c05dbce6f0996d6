// File transmission: the bytes of any file sent unchanged on one channel, in
// blocks of at most 128 bytes, each written once fewer than 10 bytes wait in
// the port's output buffer. A short timer checks the buffer, so the transfer
// costs next to no processor time while the line drains, and the file is
// read a block at a time as it goes. It holds the channel's activity slot
// while it runs, so no auto-transmission or script interleaves with it.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "common/ChannelActivity.h"
#include "common/MessageService.h"
#include "common/ReceiveInterfaces.h"
#include "strings/AutoTransmitter.h"

namespace klv {

class TFileTransmitter : public QObject, public IChannelActivity {
  Q_OBJECT

 public:
  static constexpr int kBlockSize = 128;
  // A block is written only while fewer bytes than this wait to go out.
  static constexpr int kMostPending = 10;
  static constexpr int kTickMs = 1;

  // `outputSize` is the size of the ports' output buffers: the bytes waiting
  // are that less the room. Without a clock, the steady clock and a Qt timer
  // are used.
  TFileTransmitter(IChannelServices& channels, IChannelActivitySlots& activities,
                   IMessageService& messages, int outputSize,
                   std::unique_ptr<IAutoXmitClock> clock = nullptr, QObject* parent = nullptr);
  ~TFileTransmitter() override;

  // Starts sending the file on channel 0 or 1. Refused, with a message
  // saying why, when the file does not exist or cannot be opened, the
  // channel is closed or another activity holds it.
  bool Start(const QString& path, int channel);
  // Ends the transmission at once; what the buffer holds still goes out.
  void Abort();
  bool Running() const { return running_; }
  int Channel() const { return channel_; }
  std::int64_t Sent() const { return sent_; }
  std::int64_t Size() const { return size_; }
  std::int64_t ElapsedMs() const { return clock_->NowMs() - startMs_; }

  // IChannelActivity: the channel has been closed; ends it with a message.
  void StopActivity() override;

  // The timer's tick: at most one block.
  void Tick();

 signals:
  void Progress(std::int64_t sent, std::int64_t size);
  // The transmission has ended; `complete` when the whole file was sent.
  void Finished(bool complete);

 private:
  void Finish(bool complete);
  void ChannelLost();

  IChannelServices& channels_;
  IChannelActivitySlots& activities_;
  IMessageService& messages_;
  int outputSize_;
  std::unique_ptr<IAutoXmitClock> clock_;
  QFile file_;
  bool running_ = false;
  int channel_ = 0;
  std::int64_t sent_ = 0;
  std::int64_t size_ = 0;
  std::int64_t startMs_ = 0;
};

}  // namespace klv
