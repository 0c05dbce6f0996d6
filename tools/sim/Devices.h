// The simulated devices: what each one sends on its ports and when, and what
// it does with the bytes it receives. The devices know nothing of pseudo-
// terminals; the port loop writes their output queues as fast as the ports
// take them (and their pace allows) and hands them what was received.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/FloodStream.h"
#include "sim/OutputQueue.h"
#include "sim/Pacer.h"
#include "sim/RuvoFrames.h"

namespace klv::sim {

class TDevice {
 public:
  // Received bytes are read in pieces of at most this size.
  static constexpr std::size_t kReadChunk = 4096;

  virtual ~TDevice() = default;

  // The ports the device plays (1 or 2); port i writes Output(i).
  virtual std::size_t PortCount() const = 0;
  virtual TOutputQueue& Output(std::size_t port) = 0;

  // Adds the output that is due at `now`. Returns when the device next needs
  // a call for its own timing, or kNever when only a queue being written or
  // bytes being received can change anything (the port loop calls Step again
  // after each of those).
  virtual TTime Step(TTime now) = 0;

  // How many received bytes `port` takes now; 0 leaves them in the pseudo-
  // terminal, so a sender that outruns the device is held up, not dropped.
  // Devices that do not listen take everything and ignore it, so that a
  // program transmitting to them is never blocked.
  virtual std::size_t InputRoom(std::size_t /*port*/) const { return kReadChunk; }
  virtual void Receive(std::size_t /*port*/, std::string_view /*bytes*/) {}
};

// A tapped Ruvo-94 link: port 0 carries the master's polls, port 1 the
// slaves' answers. Each answer follows its poll once the poll is written,
// after the slave's turnaround; the next poll follows after a short gap.
class TRuvoLinkDevice : public TDevice {
 public:
  static constexpr std::chrono::milliseconds kTurnaround{5};
  static constexpr std::chrono::milliseconds kPollGap{20};

  // `exchanges`: how many poll/answer pairs before the link falls silent;
  // none for an endless link.
  TRuvoLinkDevice(std::uint64_t seed, double faultRate, std::optional<std::uint64_t> exchanges);

  std::size_t PortCount() const override { return 2; }
  TOutputQueue& Output(std::size_t port) override { return out_.at(port); }
  TTime Step(TTime now) override;

  // Poll/answer pairs written completely so far.
  std::uint64_t Exchanges() const { return done_; }

 private:
  enum class TState : std::uint8_t { PollDue, PollSending, AnswerDue, AnswerSending, Finished };

  TRuvoGenerator generator_;
  std::optional<std::uint64_t> limit_;
  std::uint64_t done_ = 0;
  TState state_ = TState::PollDue;
  TTime due_ = TTime::min();
  TRuvoExchange current_;
  std::array<TOutputQueue, 2> out_;
};

// A text terminal: a numbered line about once a second, and an answer to
// every line it receives (ended by CR or LF; CR LF counts as one end).
class TTextDevice : public TDevice {
 public:
  static constexpr std::chrono::seconds kLineInterval{1};
  // A longer line is answered in parts of this size.
  static constexpr std::size_t kMaxLine = 1024;
  // No more input is read while this much output waits.
  static constexpr std::size_t kMaxQueued = 8192;

  // "Kelvora 32 simulated text device, line 12" CR LF
  static std::string Line(std::uint64_t number);
  // "Received: " + line + CR LF
  static std::string Answer(std::string_view line);

  std::size_t PortCount() const override { return 1; }
  TOutputQueue& Output(std::size_t) override { return out_; }
  TTime Step(TTime now) override;
  std::size_t InputRoom(std::size_t) const override;
  void Receive(std::size_t port, std::string_view bytes) override;

 private:
  TOutputQueue out_;
  std::uint64_t lines_ = 0;
  TTime nextLine_ = TTime::min();
  std::string line_;
  bool afterCr_ = false;
};

// Sends back whatever it receives.
class TEchoDevice : public TDevice {
 public:
  // No more input is read while this much waits to go back.
  static constexpr std::size_t kMaxQueued = 65536;

  std::size_t PortCount() const override { return 1; }
  TOutputQueue& Output(std::size_t) override { return out_; }
  TTime Step(TTime) override { return kNever; }
  std::size_t InputRoom(std::size_t) const override;
  void Receive(std::size_t port, std::string_view bytes) override;

 private:
  TOutputQueue out_;
};

// An endless seeded stream (TFloodStream), kept ahead of the port.
class TFloodDevice : public TDevice {
 public:
  static constexpr std::size_t kChunk = 65536;

  TFloodDevice(std::uint64_t seed, TByteSet set) : stream_(seed, set) {}

  std::size_t PortCount() const override { return 1; }
  TOutputQueue& Output(std::size_t) override { return out_; }
  TTime Step(TTime now) override;

 private:
  TFloodStream stream_;
  TOutputQueue out_;
};

}  // namespace klv::sim
