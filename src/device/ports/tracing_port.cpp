#include "device/ports/tracing_port.h"

#include <cstring>
#include <map>
#include <thread>  // std::chrono::steady_clock: <chrono> itself does not build with the CP932 literals
#include <vector>

#include "device/ports/pass_through_driver.h"
#include "scsi/opcodes.h"
#include "toolkit/sjis.h"

namespace orv {

// ---- The file ----

std::shared_ptr<TraceFile> TraceFile::Create(const std::filesystem::path& path, const TraceHeader& header,
                                             std::string& error) {
  std::shared_ptr<TraceFile> trace(new TraceFile(path));
  trace->file_.open(path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!trace->file_.is_open() || !trace->WriteLine(TraceHeaderLine(header))) {
    error = "cannot create the trace file " + path.string();
    return nullptr;
  }
  return trace;
}

bool TraceFile::WriteLine(const std::string& line) {
  file_.write(line.data(), static_cast<std::streamsize>(line.size()));
  file_.put('\n');
  file_.flush();
  return file_.good();
}

void TraceFile::Write(TraceEvent& event) {
  std::lock_guard lock(mutex_);
  if (failed_) return;
  event.number = events_ + 1;
  if (!WriteLine(TraceEventLine(event))) {
    failed_ = true;
    return;
  }
  ++events_;
}

uint64_t TraceFile::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

bool TraceFile::Failed() const {
  std::lock_guard lock(mutex_);
  return failed_;
}

// ---- The port ----

namespace {

// Microseconds of the simulated clock when there is one, else of the monotonic clock.
class Stopwatch {
 public:
  explicit Stopwatch(const SimulatedClock* clock) : clock_(clock), start_(Now()) {}
  uint64_t Micros() const {
    const int64_t now = Now();
    return now > start_ ? static_cast<uint64_t>(now - start_) : 0;
  }

 private:
  int64_t Now() const {
    if (clock_ != nullptr) return clock_->NowMicroseconds();
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  }
  const SimulatedClock* clock_;
  int64_t start_;
};

std::vector<uint8_t> Bytes(const void* data, size_t length) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  return data == nullptr ? std::vector<uint8_t>{} : std::vector<uint8_t>(bytes, bytes + length);
}

TraceOp ControlOp(uint32_t code) {
  switch (code) {
    case kIoctlDiskGetDriveGeometry: return TraceOp::kGeometry;
    case kIoctlScsiGetAddress: return TraceOp::kAddress;
    case kIoctlScsiGetInquiryData: return TraceOp::kAdapterInquiry;
    case kIoctlScsiPassThrough:
    case kIoctlScsiPassThroughDirect: return TraceOp::kPassThrough;
    default: return TraceOp::kControl;
  }
}

class TracingPort : public DevicePort {
 public:
  TracingPort(std::unique_ptr<DevicePort> inner, std::shared_ptr<TraceFile> trace, bool writeData,
              std::shared_ptr<const SimulatedClock> clock)
      : inner_(std::move(inner)), trace_(std::move(trace)), writeData_(writeData), clock_(std::move(clock)) {}

  PortHandle Open(const char* path, uint8_t flags) override {
    TraceEvent e;
    e.op = TraceOp::kOpen;
    e.path = path != nullptr ? SjisToUtf8(path) : std::string();
    e.value = flags;
    const Stopwatch watch(clock_.get());
    const PortHandle handle = inner_->Open(path, flags);
    e.micros = watch.Micros();
    Outcome(e, handle != kNoPortHandle);
    if (handle != kNoPortHandle) {
      std::lock_guard lock(mutex_);
      paths_[handle] = e.path;
    }
    trace_->Write(e);
    return handle;
  }

  int Close(PortHandle handle) override {
    TraceEvent e;
    e.op = TraceOp::kClose;
    e.path = PathOf(handle);
    const Stopwatch watch(clock_.get());
    const int rc = inner_->Close(handle);
    e.micros = watch.Micros();
    Outcome(e, rc == 0);
    {
      std::lock_guard lock(mutex_);
      paths_.erase(handle);
      keptReads_.erase(handle);
    }
    trace_->Write(e);
    return rc;
  }

  uint32_t GetFileType(PortHandle handle) override {
    TraceEvent e;
    e.op = TraceOp::kFileType;
    e.path = PathOf(handle);
    const Stopwatch watch(clock_.get());
    e.value = inner_->GetFileType(handle);
    e.micros = watch.Micros();
    // GetFileType says "unknown" both as an answer and for a failure; the error tells them apart.
    Outcome(e, e.value != kFileTypeUnknown);
    trace_->Write(e);
    return e.value;
  }

  bool IoControl(PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* bytesReturned) override {
    TraceEvent e;
    e.op = ControlOp(code);
    e.path = PathOf(handle);
    if (e.op == TraceOp::kPassThrough) return PassThrough(e, handle, code, in, inLength, out, outLength, bytesReturned);
    if (e.op == TraceOp::kControl) {
      e.value = code;
      e.sent = Bytes(in, inLength);
    }
    uint32_t returned = 0;
    const Stopwatch watch(clock_.get());
    const bool ok = inner_->IoControl(handle, code, in, inLength, out, outLength, &returned);
    e.micros = watch.Micros();
    if (bytesReturned != nullptr) *bytesReturned = returned;
    Outcome(e, ok);
    if (ok) e.answer = Bytes(out, std::min(returned, outLength));
    trace_->Write(e);
    return ok;
  }

  uint32_t LastError() const override { return inner_->LastError(); }
  std::filesystem::path BackingFile(const char* path) override { return inner_->BackingFile(path); }
  uint32_t ErrorCode(PortError error) const override { return inner_->ErrorCode(error); }

  uint32_t DriveType(const char* rootPath) override {
    TraceEvent e;
    e.op = TraceOp::kDriveType;
    e.path = rootPath != nullptr ? SjisToUtf8(rootPath) : std::string();
    const Stopwatch watch(clock_.get());
    e.value = inner_->DriveType(rootPath);
    e.micros = watch.Micros();
    trace_->Write(e);
    return e.value;
  }

  std::vector<DriveCandidate> DriveCandidates() override {
    TraceEvent e;
    e.op = TraceOp::kCandidates;
    const Stopwatch watch(clock_.get());
    std::vector<DriveCandidate> candidates = inner_->DriveCandidates();
    e.micros = watch.Micros();
    for (const DriveCandidate& c : candidates) e.candidates.push_back({c.letter, SjisToUtf8(c.path)});
    trace_->Write(e);
    return candidates;
  }

 private:
  void Outcome(TraceEvent& e, bool ok) const {
    e.ok = ok;
    e.error = ok ? 0 : inner_->LastError();
  }

  std::string PathOf(PortHandle handle) const {
    std::lock_guard lock(mutex_);
    auto it = paths_.find(handle);
    return it == paths_.end() ? std::string() : it->second;
  }

  // Reads the request as a driver does (on a copy: `in` and `out` are often the same buffer),
  // passes the call on, and reads the answer from what came back.
  bool PassThrough(TraceEvent& e, PortHandle handle, uint32_t code, const void* in, uint32_t inLength, void* out,
                   uint32_t outLength, uint32_t* bytesReturned) {
    e.direct = code == kIoctlScsiPassThroughDirect;
    CheckedPassThrough checked;
    std::vector<uint8_t> copy;
    if (in != nullptr && out != nullptr) {
      copy.assign(std::max(inLength, outLength), 0);
      std::memcpy(copy.data(), in, inLength);
    }
    // A request the driver would refuse is traced as such; its fields may point anywhere.
    e.malformed = copy.empty() || CheckPassThrough(copy.data(), inLength, outLength, e.direct, 0, checked) != 0;
    const ScsiPassThroughHeader& h = checked.header;
    if (!e.malformed) {
      e.pathId = h.pathId;
      e.targetId = h.targetId;
      e.lun = h.lun;
      e.cdb.assign(h.cdb, h.cdb + h.cdbLength);
      e.direction = checked.direction;
      e.length = h.dataTransferLength;
      e.timeout = h.timeOutValue;
      if (e.direction == DataDirection::kOut && writeData_) e.sent = Bytes(checked.data, h.dataTransferLength);
    }

    uint32_t returned = 0;
    const Stopwatch watch(clock_.get());
    const bool ok = inner_->IoControl(handle, code, in, inLength, out, outLength, &returned);
    e.micros = watch.Micros();
    if (bytesReturned != nullptr) *bytesReturned = returned;
    Outcome(e, ok);
    if (ok && !e.malformed)
      ReadAnswer(e, handle, h, static_cast<const uint8_t*>(out), returned, outLength);
    trace_->Write(e);
    return ok;
  }

  // Status, sense and data from the header the driver updated: DataTransferLength the bytes
  // moved, SenseInfoLength the sense returned; the data of a buffered request sits in the
  // output at its offset, that of a direct one in the caller's buffer the request named. The
  // count of bytes returned is not a measure of them: some drivers count the header only.
  // Nothing beyond the `outLength` bytes of the output is read.
  void ReadAnswer(TraceEvent& e, PortHandle handle, const ScsiPassThroughHeader& asked, const uint8_t* out,
                  uint32_t returned, uint32_t outLength) {
    if (returned < kRequestHeaderSize) return;
    ScsiPassThroughHeader h;
    std::memcpy(&h, out, sizeof h);
    e.status = h.scsiStatus;
    e.moved = std::min(h.dataTransferLength, asked.dataTransferLength);
    const uint64_t senseEnd = uint64_t{asked.senseInfoOffset} + h.senseInfoLength;
    if (h.senseInfoLength != 0 && h.senseInfoLength <= asked.senseInfoLength && senseEnd <= outLength)
      e.sense.assign(out + asked.senseInfoOffset, out + senseEnd);
    if (e.direction != DataDirection::kIn || e.moved == 0) return;
    const uint8_t* data = nullptr;
    if (e.direct) {
      data = reinterpret_cast<const uint8_t*>(asked.dataBuffer);
    } else {
      // The request's check put the data area inside the output.
      data = out + asked.dataBuffer;
    }
    if (KeepsData(handle, e)) {
      e.received.assign(data, data + e.moved);
    } else {
      e.receivedKept = false;
      e.digest = TraceDigest(data, e.moved);
    }
  }

  // Whether the data of this data-in command goes into the trace whole (kTraceKeptReadBudget).
  bool KeepsData(PortHandle handle, const TraceEvent& e) {
    if (writeData_ || e.cdb[0] != scsi_op::kRead10) return true;
    if (e.moved > kTraceKeptReadBytes) return false;
    std::lock_guard lock(mutex_);
    uint64_t& kept = keptReads_[handle];
    if (kept + e.moved > kTraceKeptReadBudget) return false;
    kept += e.moved;
    return true;
  }

  std::unique_ptr<DevicePort> inner_;
  std::shared_ptr<TraceFile> trace_;
  bool writeData_;
  std::shared_ptr<const SimulatedClock> clock_;
  mutable std::mutex mutex_;  // guards paths_ and keptReads_
  std::map<PortHandle, std::string> paths_;
  std::map<PortHandle, uint64_t> keptReads_;  // bytes of read data kept whole, per open handle
};

}  // namespace

std::unique_ptr<DevicePort> MakeTracingPort(std::unique_ptr<DevicePort> inner, std::shared_ptr<TraceFile> trace,
                                            bool writeData, std::shared_ptr<const SimulatedClock> clock) {
  return std::make_unique<TracingPort>(std::move(inner), std::move(trace), writeData, std::move(clock));
}

}  // namespace orv
