// The one place that builds the port both front ends talk through: the computer's own drives
// (or none of them), with the virtual drives of ORVANE_VIRTUAL_DRIVES and of the console's
// --virtual in front of them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/ports/device_port.h"

namespace orv {

class ReplayGaps;
class SimulatedClock;
class TraceFile;

// The environment variables of the command trace (the console has --trace and --trace-data).
inline constexpr const char* kTraceVariable = "ORVANE_TRACE";
inline constexpr const char* kTraceDataVariable = "ORVANE_TRACE_DATA";

// One list of virtual drives ("E=dvdram:/tmp/disc.img,F=dvdrom") and where it came from, the
// name a fault in it is reported under ("ORVANE_VIRTUAL_DRIVES", "--virtual").
struct VirtualDriveList {
  std::string origin;
  std::string value;
};

struct ProgramPortSettings {
  // In order; a drive letter of a later list replaces the same letter of an earlier one.
  std::vector<VirtualDriveList> virtualDrives;
  // The computer's own drives are left alone: only virtual drives are listed and opened.
  bool virtualOnly = false;
  // The virtual drives take real-drive timings (ORVANE_VIRTUAL_TIMING=1); a replayed drive
  // never does, it answers at once.
  bool timing = false;
  // Every call through the port is traced into this file when it is not empty.
  std::filesystem::path tracePath;
  // The trace holds the data of writes too.
  bool traceWriteData = false;
  // Tests: the virtual drives with timing advance this clock instead of sleeping, a replayed
  // drive advances it by each recorded answer's duration, and the trace times with it. Null:
  // real time.
  std::shared_ptr<SimulatedClock> simulatedClock;
};

// What the port has to say once the program is done with it.
class ProgramPortNotes {
 public:
  // CP932 lines: what a replayed drive was asked that its trace does not answer (a line naming
  // the drive, then one per command), and a trace that could not be written to its end.
  std::vector<std::string> Lines() const;
  // The trace asked for ends early: the run did not give what the user asked for.
  bool TraceFailed() const;

 private:
  friend int MakeProgramPort(const ProgramPortSettings&, std::unique_ptr<DevicePort>&, std::string&,
                             ProgramPortNotes*);
  std::vector<std::pair<std::string, std::shared_ptr<const ReplayGaps>>> replays_;  // "E: (trace FILE)"
  std::shared_ptr<const TraceFile> trace_;
};

// Adds ORVANE_VIRTUAL_DRIVES, when it is set, as a list of that origin.
void AddEnvironmentDrives(ProgramPortSettings& settings);
// Reads ORVANE_VIRTUAL_TIMING into `settings.timing`. 0, or -1 with a message when it is
// neither unset, "0" nor "1".
int ReadEnvironmentTiming(ProgramPortSettings& settings, std::string& error);
// Reads ORVANE_TRACE (the trace file) and ORVANE_TRACE_DATA ("1": with the data of writes).
// 0, or -1 with a message when ORVANE_TRACE_DATA is neither unset, "0" nor "1".
int ReadEnvironmentTrace(ProgramPortSettings& settings, std::string& error);

// The OS port (a port that opens nothing with `virtualOnly`), behind a virtual port holding the
// lists' drives when there are any, behind a tracing port when a trace is asked for; a missing
// image file is created, the trace file is created or emptied. 0, or -1 with a message (CP932
// text) and no port: a list's fault is reported as "ORIGIN: entry N ...", an image or a replayed
// trace that cannot be opened as "ORVANE_VIRTUAL_DRIVES: drive E: ...". `notes`, when given,
// receives what the port has to say at the end of the run.
int MakeProgramPort(const ProgramPortSettings& settings, std::unique_ptr<DevicePort>& port, std::string& error,
                    ProgramPortNotes* notes = nullptr);

}  // namespace orv
