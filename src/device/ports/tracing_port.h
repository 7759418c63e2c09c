// The command trace, taken at the port seam: a port that passes every call to the port behind
// it unchanged and writes one trace line per call (vdrive/trace_format.h). Nothing above the
// seam knows it is there, so every command of every operation is seen, and a trace of the
// program's own virtual drives is the same as one of a real drive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>

#include "device/ports/device_port.h"
#include "vdrive/timing.h"
#include "vdrive/trace_format.h"

namespace orv {

// The trace file. Each line is written out as soon as it is made, so a trace survives a crash or
// a drive that never answers; once a write fails nothing more is written, and the failure is
// kept for the end of the run. Safe to use from several threads.
class TraceFile {
 public:
  // Creates (or empties) the file and writes the header line. Null with a message on failure.
  static std::shared_ptr<TraceFile> Create(const std::filesystem::path& path, const TraceHeader& header,
                                           std::string& error);

  // Numbers the event and writes its line.
  void Write(TraceEvent& event);

  const std::filesystem::path& Path() const { return path_; }
  // Events written so far.
  uint64_t Events() const;
  // True once a line could not be written: the trace ends early.
  bool Failed() const;

 private:
  TraceFile(const std::filesystem::path& path) : path_(path) {}
  bool WriteLine(const std::string& line);

  std::filesystem::path path_;
  mutable std::mutex mutex_;
  std::ofstream file_;
  uint64_t events_ = 0;
  bool failed_ = false;
};

// Passes everything to `inner`, tracing it into `trace`. The data a command sends is left out
// of the trace (its size stays) unless `writeData`: a trace is made to be mailed, and the data
// of a write is what was on someone's disc. Reads keep their data whole within the limits of
// vdrive/trace_format.h (kTraceKeptReadBudget), beyond them their length and digest, unless
// `writeData`. Durations are of the system's monotonic clock, or
// of `clock` when given: the simulated time virtual drives keep, so that a replay can give the
// same durations back to it.
std::unique_ptr<DevicePort> MakeTracingPort(std::unique_ptr<DevicePort> inner, std::shared_ptr<TraceFile> trace,
                                            bool writeData, std::shared_ptr<const SimulatedClock> clock = nullptr);

}  // namespace orv
