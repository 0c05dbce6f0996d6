// The running simulator: a pseudo-terminal per COM number, linked into the
// ports directory, and one poll loop that writes the devices' output (at
// each port's pace, waiting whenever a pseudo-terminal is full), hands them
// what they receive, and ends cleanly on SIGTERM, SIGINT or SIGHUP.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Devices.h"
#include "sim/Options.h"
#include "sim/Pacer.h"

namespace klv::sim {

class TSimulator {
 public:
  explicit TSimulator(const TSimOptions& options);
  ~TSimulator();
  TSimulator(const TSimulator&) = delete;
  TSimulator& operator=(const TSimulator&) = delete;

  // Holds back the termination signals (they are taken in the loop), then
  // creates the ports directory, the transcript files, the pseudo-terminals
  // and their links. An existing COMn entry is refused, unless it is a link
  // to a pseudo-terminal that no longer exists, which is replaced. On
  // failure a message goes to stderr and false is returned; Close() undoes
  // what was done.
  bool Open();
  // "COMn /dev/pts/X <device>" for each port, then "ready"; flushed.
  void PrintPorts(std::FILE* out) const;
  // Runs until a termination signal (returns 0) or a failure of a port or a
  // transcript (message on stderr, returns 2).
  int Run();
  // Removes the links that still lead to this program's pseudo-terminals,
  // closes them and completes the transcripts; false (with a message) when a
  // transcript could not be written in full. Safe to call more than once.
  bool Close();

 private:
  struct TPort {
    int Com = 0;
    TDevice* Device = nullptr;
    std::size_t Index = 0;  // the device's port
    std::string Description;
    std::optional<TPacer> Pacer;
    std::uint64_t Pace = 0;
    int Master = -1;
    int Slave = -1;  // kept open so the master never sees a hang-up
    std::string SlaveName;
    std::string LinkPath;
    std::string StaleTarget;  // the gone pseudo-terminal of a link left behind
    bool Linked = false;
    std::string TranscriptPath;
    std::FILE* Transcript = nullptr;
    bool WaitWritable = false;
    bool Idle = true;  // nothing to write at the last look
  };

  bool OpenPty(TPort& port);
  // Writes what the port's queue and pace allow; false on a failure.
  bool WritePort(TPort& port, TTime now, bool& progress);
  bool ReadPort(TPort& port);
  bool FlushTranscripts();

  TSimOptions options_;
  std::vector<std::unique_ptr<TDevice>> devices_;
  std::vector<TPort> ports_;  // by COM number
  int signalFd_ = -1;
};

}  // namespace klv::sim
