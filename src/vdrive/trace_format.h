// The command trace: what the program asked a drive through the port and what it got back, one
// JSON object per line. The first line names the format; every later line is one event: an
// open or close, a query (file type, drive type, the drive candidates), a non-SCSI I/O control
// (geometry, address, adapter inquiry, any other code) or one pass-through request. The tracing
// port writes these lines, the replayed drive reads them; both go through this one codec.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scsi/data_direction.h"

namespace orv {

// Version 2 may leave out the data of a read ("received": null with its "digest"); a program
// that reads only version 1 refuses such a trace instead of misreading it. Both replay here.
inline constexpr int kTraceVersion = 2;

// Unless all data is asked for, a trace keeps the data of a READ(10) whole only when it is at
// most kTraceKeptReadBytes long and the reads through the same open of the drive have not yet
// kept kTraceKeptReadBudget bytes; any other read keeps its length and digest. The benchmark's
// reads (thousands, timed, their data unused) would make a trace hundreds of times larger than
// the answers it is made for. 4096 bytes hold one sector of every common block length, and an
// operation opens the drive anew, so the partition tables, the report's reads and the 256 KiB an
// erase backs up replay byte for byte.
inline constexpr uint32_t kTraceKeptReadBytes = 4096;
inline constexpr uint32_t kTraceKeptReadBudget = 512 * 1024;

// The first line: {"orvane":"trace","version":1,"os":"linux","writeData":false}.
struct TraceHeader {
  int version = kTraceVersion;
  std::string os;          // the port's operating system: its error codes are that system's
  bool writeData = false;  // all data is in the trace: of writes, and of reads however long
};

enum class TraceOp : uint8_t {
  kOpen,            // "open": path, flags
  kClose,           // "close": path
  kFileType,        // "file-type": path, answer
  kDriveType,       // "drive-type": root, answer
  kCandidates,      // "candidates": drives
  kGeometry,        // "geometry": path, answer (DISK_GEOMETRY, 24 bytes)
  kAddress,         // "address": path, answer (SCSI_ADDRESS, 8 bytes)
  kAdapterInquiry,  // "adapter-inquiry": path, answer (as many bytes as the driver returned)
  kControl,         // "control": path, code, sent, answer: a control code of no other kind
  kPassThrough,     // "scsi": one pass-through request
};

struct TraceCandidate {
  char letter = 0;
  std::string path;
};

// One event. Which fields a line carries depends on `op` (see TraceOp); the rest keep their
// defaults. Text is UTF-8.
struct TraceEvent {
  uint64_t number = 0;  // "n": counts the events from 1
  TraceOp op = TraceOp::kOpen;
  std::string path;     // "path" (the device path), "root" for kDriveType
  bool ok = true;       // "ok": the system call succeeded
  uint32_t error = 0;   // "error": the system error code when it failed, else 0
  uint64_t micros = 0;  // "us": how long the call took, in microseconds of a monotonic clock
  uint32_t value = 0;   // "flags" (kOpen), "answer" (kFileType, kDriveType), "code" (kControl)
  std::vector<uint8_t> answer;  // "answer" (hex): the bytes the control returned
  std::vector<TraceCandidate> candidates;  // "drives" (kCandidates)

  // --- kPassThrough
  bool direct = false;       // "form": "direct" or "buffered"
  bool malformed = false;    // "malformed": the input was no pass-through request to read
  uint8_t pathId = 0;        // "unit": [path id, target id, LUN]
  uint8_t targetId = 0;
  uint8_t lun = 0;
  std::vector<uint8_t> cdb;  // "cdb" (hex): CdbLength bytes
  DataDirection direction = DataDirection::kNone;  // "dir": "in", "out" or "none" (no data moves)
  uint32_t length = 0;       // "length": DataTransferLength asked
  uint32_t timeout = 0;      // "timeout": seconds
  // "sent" (hex): the data a data-out command carried (kControl: the input); null when it was
  // left out of the trace (the data of writes, unless asked for).
  std::optional<std::vector<uint8_t>> sent;
  uint8_t status = 0;              // "status": the SCSI status byte
  std::vector<uint8_t> sense;      // "sense" (hex): the sense bytes returned
  uint32_t moved = 0;              // "moved": DataTransferLength after the command
  std::vector<uint8_t> received;   // "received" (hex): the data a data-in command moved, whole
  bool receivedKept = true;        // false: "received" is null, the data was left out
  uint64_t digest = 0;             // "digest": TraceDigest of the data left out
};

// The digest a trace keeps of data it leaves out: FNV-1a, 64 bits (16 hex digits in the line).
// It tells two runs' data apart; the data cannot be had back from it.
uint64_t TraceDigest(const uint8_t* data, size_t length);

std::string TraceHeaderLine(const TraceHeader& header);
std::string TraceEventLine(const TraceEvent& event);

// Each reads one line (without its line end). 0, or -1 with `error` naming what is wrong. A
// hand-edited event may leave out "n", "ok", "error", "us", "length", "status", "sense" and
// "moved": they default to what a good answer carries ("moved" to the bytes received, or to
// "length" for a command that sends).
int ParseTraceHeader(std::string_view line, TraceHeader& header, std::string& error);
int ParseTraceEvent(std::string_view line, TraceEvent& event, std::string& error);

}  // namespace orv
