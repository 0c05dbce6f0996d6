#include "strings/FileTransmitter.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <string_view>

namespace klv {

TFileTransmitter::TFileTransmitter(IChannelServices& channels, IChannelActivitySlots& activities,
                                   IMessageService& messages, int outputSize,
                                   std::unique_ptr<IAutoXmitClock> clock, QObject* parent)
    : QObject(parent),
      channels_(channels),
      activities_(activities),
      messages_(messages),
      outputSize_(outputSize),
      clock_(clock ? std::move(clock) : std::make_unique<TQtAutoXmitClock>()) {
  clock_->SetHandler([this] { Tick(); });
}

TFileTransmitter::~TFileTransmitter() {
  Abort();
}

bool TFileTransmitter::Start(const QString& path, int channel) {
  if (running_)
    return false;
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) {
    messages_.Information(QStringLiteral("The file does not exist"));
    return false;
  }
  if (!channels_.ChannelAvailable(channel)) {
    messages_.Information(QStringLiteral("Channel %1 is not open.").arg(channel + 1));
    return false;
  }
  file_.setFileName(path);
  if (!file_.open(QIODevice::ReadOnly)) {
    messages_.Error(QStringLiteral("The file \"%1\" cannot be opened:\n%2")
                        .arg(QDir::toNativeSeparators(path), file_.errorString()));
    return false;
  }
  if (!activities_.TakeActivity(channel, *this)) {
    file_.close();
    messages_.Information(QStringLiteral("Channel %1 is busy with auto transmission or a "
                                         "script.\nThe file has not been transmitted.")
                              .arg(channel + 1));
    return false;
  }
  running_ = true;
  channel_ = channel;
  sent_ = 0;
  size_ = file_.size();
  startMs_ = clock_->NowMs();
  clock_->Start(0);
  return true;
}

void TFileTransmitter::Abort() {
  if (running_)
    Finish(false);
}

void TFileTransmitter::StopActivity() {
  if (running_)
    ChannelLost();
}

void TFileTransmitter::Finish(bool complete) {
  running_ = false;
  clock_->Stop();
  file_.close();
  activities_.ReleaseActivity(channel_, *this);
  emit Finished(complete);
}

void TFileTransmitter::ChannelLost() {
  Finish(false);
  messages_.Error(QStringLiteral("Channel %1 has been closed.\nThe file transmission ended "
                                 "after %2 of %3 bytes.")
                      .arg(channel_ + 1)
                      .arg(sent_)
                      .arg(size_));
}

void TFileTransmitter::Tick() {
  if (!running_)
    return;
  if (!channels_.ChannelAvailable(channel_)) {
    ChannelLost();
    return;
  }
  if (outputSize_ - channels_.ChannelOutputRoom(channel_) < kMostPending) {
    std::array<char, kBlockSize> block{};
    const qint64 count = file_.read(block.data(), kBlockSize);
    if (count < 0) {
      const QString reason = file_.errorString();
      Finish(false);
      messages_.Error(QStringLiteral("The file \"%1\" cannot be read:\n%2\nThe file "
                                     "transmission ended after %3 of %4 bytes.")
                          .arg(QDir::toNativeSeparators(file_.fileName()), reason)
                          .arg(sent_)
                          .arg(size_));
      return;
    }
    if (count == 0) {
      Finish(true);
      return;
    }
    channels_.OutputString(channel_,
                           std::string_view(block.data(), static_cast<std::size_t>(count)));
    sent_ += count;
    emit Progress(sent_, size_);
    if (!running_)
      return;  // writing it closed the channel or a listener aborted
  }
  clock_->Start(kTickMs);
}

}  // namespace klv
