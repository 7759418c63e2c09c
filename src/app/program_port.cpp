#include "app/program_port.h"

#include <cstdlib>

#include "device/ports/closed_port.h"
#include "device/ports/tracing_port.h"
#include "device/ports/virtual_port.h"
#include "vdrive/drive_config.h"
#include "vdrive/replay_drive.h"

namespace orv {

std::vector<std::string> ProgramPortNotes::Lines() const {
  std::vector<std::string> lines;
  for (const auto& [drive, gaps] : replays_) {
    if (gaps->Empty()) continue;
    lines.push_back("drive " + drive + " was asked what its trace does not answer (refused as an invalid command):");
    for (const std::string& line : gaps->Lines()) lines.push_back("  " + line);
  }
  if (TraceFailed()) {
    lines.push_back("the trace " + trace_->Path().string() + " ends early: writing it failed after " +
                    std::to_string(trace_->Events()) + (trace_->Events() == 1 ? " event" : " events"));
  }
  return lines;
}

bool ProgramPortNotes::TraceFailed() const { return trace_ != nullptr && trace_->Failed(); }

void AddEnvironmentDrives(ProgramPortSettings& settings) {
  if (const char* drives = std::getenv(kVirtualDrivesVariable))
    settings.virtualDrives.push_back({kVirtualDrivesVariable, drives});
}

int ReadEnvironmentTiming(ProgramPortSettings& settings, std::string& error) {
  const char* value = std::getenv(kVirtualTimingVariable);
  return ParseVirtualTiming(value != nullptr ? value : "", settings.timing, error);
}

int ReadEnvironmentTrace(ProgramPortSettings& settings, std::string& error) {
  if (const char* path = std::getenv(kTraceVariable); path != nullptr && path[0] != 0) settings.tracePath = path;
  const std::string data = std::getenv(kTraceDataVariable) != nullptr ? std::getenv(kTraceDataVariable) : "";
  if (data != "" && data != "0" && data != "1") {
    error = std::string(kTraceDataVariable) + ": \"" + data + "\" is neither 0 nor 1";
    return -1;
  }
  settings.traceWriteData = data == "1";
  return 0;
}

int MakeProgramPort(const ProgramPortSettings& settings, std::unique_ptr<DevicePort>& port, std::string& error,
                    ProgramPortNotes* notes) {
  std::vector<VirtualDriveSpec> driveSpecs;
  for (const VirtualDriveList& list : settings.virtualDrives) {
    std::vector<VirtualDriveSpec> parsed;
    if (ParseVirtualDriveSpecs(list.value, parsed, error) != 0) {
      // The parser names the variable; the list may have come from elsewhere.
      const std::string prefix = std::string(kVirtualDrivesVariable) + ": ";
      if (error.compare(0, prefix.size(), prefix) == 0) error.erase(0, prefix.size());
      error = list.origin + ": " + error;
      return -1;
    }
    driveSpecs.insert(driveSpecs.end(), parsed.begin(), parsed.end());
  }

  ProgramPortNotes made;
  std::unique_ptr<DevicePort> chain = MakeOsPort();
  if (settings.virtualOnly) chain = MakeClosedPort(std::move(chain));
  if (!driveSpecs.empty()) {
    auto virtualPort = std::make_unique<VirtualPort>(std::move(chain));
    for (const VirtualDriveSpec& driveSpec : driveSpecs) {
      std::shared_ptr<const ReplayGaps> gaps;
      std::shared_ptr<VirtualDrive> drive = MakeVirtualDrive(driveSpec, error, &gaps);
      if (!drive) return -1;
      if (gaps) {
        made.replays_.emplace_back(std::string(1, driveSpec.letter) + ": (trace " + driveSpec.image + ")", gaps);
      } else {
        drive->SetTimingEnabled(settings.timing);
      }
      if (settings.simulatedClock) drive->SetSimulatedClock(settings.simulatedClock);
      virtualPort->AddDrive(driveSpec.letter, std::move(drive));
    }
    chain = std::move(virtualPort);
  }
  if (!settings.tracePath.empty()) {
    // Creating the trace empties its file: never one the drives read from.
    for (const VirtualDriveSpec& driveSpec : driveSpecs) {
      std::error_code ec;
      if (!driveSpec.image.empty() && std::filesystem::equivalent(settings.tracePath, driveSpec.image, ec)) {
        error = "the trace file " + settings.tracePath.string() + " is the " +
                (driveSpec.preset == kReplayPreset ? "trace" : "image") + " of drive " + driveSpec.letter +
                ":; the trace needs a file of its own";
        return -1;
      }
    }
    TraceHeader header;
    header.os = OsName();
    header.writeData = settings.traceWriteData;
    std::shared_ptr<TraceFile> trace = TraceFile::Create(settings.tracePath, header, error);
    if (!trace) return -1;
    made.trace_ = trace;
    chain = MakeTracingPort(std::move(chain), std::move(trace), settings.traceWriteData, settings.simulatedClock);
  }
  port = std::move(chain);
  if (notes != nullptr) *notes = std::move(made);
  return 0;
}

}  // namespace orv
