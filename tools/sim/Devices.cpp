#include "sim/Devices.h"

#include <cstdint>

namespace klv::sim {

TRuvoLinkDevice::TRuvoLinkDevice(std::uint64_t seed, double faultRate,
                                 std::optional<std::uint64_t> exchanges)
    : generator_(seed, faultRate), limit_(exchanges) {}

TTime TRuvoLinkDevice::Step(TTime now) {
  for (;;) {
    switch (state_) {
      case TState::PollDue:
        if (limit_ && done_ >= *limit_) {
          state_ = TState::Finished;
          break;
        }
        if (now < due_)
          return due_;
        current_ = generator_.Next();
        out_[0].Append(current_.Poll.Bytes);
        state_ = TState::PollSending;
        break;
      case TState::PollSending:
        if (!out_[0].Empty())
          return kNever;
        due_ = now + kTurnaround;
        state_ = TState::AnswerDue;
        break;
      case TState::AnswerDue:
        if (now < due_)
          return due_;
        out_[1].Append(current_.Answer.Bytes);
        state_ = TState::AnswerSending;
        break;
      case TState::AnswerSending:
        if (!out_[1].Empty())
          return kNever;
        ++done_;
        due_ = now + kPollGap;
        state_ = TState::PollDue;
        break;
      case TState::Finished:
        return kNever;
    }
  }
}

std::string TTextDevice::Line(std::uint64_t number) {
  return "Kelvora 32 simulated text device, line " + std::to_string(number) + "\r\n";
}

std::string TTextDevice::Answer(std::string_view line) {
  std::string answer = "Received: ";
  answer += line;
  answer += "\r\n";
  return answer;
}

TTime TTextDevice::Step(TTime now) {
  // A new line waits until the last one is written: nobody reading the port
  // holds the device up instead of piling lines up.
  if (now >= nextLine_ && out_.Empty()) {
    out_.Append(Line(++lines_));
    nextLine_ = nextLine_ == TTime::min() ? now + kLineInterval : nextLine_ + kLineInterval;
    if (nextLine_ <= now)
      nextLine_ = now + kLineInterval;  // after a hold-up, no burst of lines
  }
  return now >= nextLine_ ? kNever : nextLine_;
}

std::size_t TTextDevice::InputRoom(std::size_t) const {
  return out_.Size() < kMaxQueued ? kReadChunk : 0;
}

void TTextDevice::Receive(std::size_t, std::string_view bytes) {
  for (char c : bytes) {
    const bool lf = c == '\n';
    if (lf && afterCr_) {
      afterCr_ = false;  // the LF of a CR LF pair
      continue;
    }
    afterCr_ = c == '\r';
    if (lf || c == '\r') {
      out_.Append(Answer(line_));
      line_.clear();
      continue;
    }
    line_ += c;
    if (line_.size() == kMaxLine) {
      out_.Append(Answer(line_));
      line_.clear();
    }
  }
}

std::size_t TEchoDevice::InputRoom(std::size_t) const {
  return out_.Size() < kMaxQueued ? kMaxQueued - out_.Size() : 0;
}

void TEchoDevice::Receive(std::size_t, std::string_view bytes) {
  out_.Append(bytes);
}

TTime TFloodDevice::Step(TTime) {
  if (out_.Size() < kChunk) {
    std::string bytes(kChunk, '\0');
    stream_.Fill(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    out_.Append(bytes);
  }
  return kNever;
}

}  // namespace klv::sim
