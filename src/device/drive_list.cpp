#include "device/drive_list.h"

#include "device/scsi_commands.h"
#include "toolkit/endian.h"
#include "toolkit/format.h"
#include "toolkit/name_table.h"
#include "toolkit/worker.h"

namespace orv {

namespace {

// Peripheral device types of the standard INQUIRY data (SPC), spelled as users of the program
// have always seen them.
constexpr CodeName<uint32_t> kDeviceTypeNames[] = {
    {0, "Direct access device"},   {1, "Sequential device"},     {2, "Printer device"},
    {3, "Processor device"},       {4, "Write-once device"},     {5, "CD/DVD-ROM device"},
    {6, "Scaner device"},          {7, "Optical memory device"}, {8, "Medium changer device"},
    {9, "Communication device"},
};

constexpr uint32_t kScanPositions = 26;  // one step per letter A-Z

// A block length a drive can have: 1 to 64 KiB (2048 for DVD, 2352 for raw CD sectors, 512 or
// 4096 for disks). Every operation sizes buffers from it, so 0 or an absurd answer (FFFFFFFFh)
// is taken as a failed READ CAPACITY.
bool PlausibleBlockLength(uint32_t length) { return length != 0 && length <= 65536; }

}  // namespace

uint32_t DriveRecord::BlockCount() const { return GetBe32(capacity.data()); }
uint32_t DriveRecord::BlockLength() const { return GetBe32(capacity.data() + 4); }

const char* DeviceTypeName(uint32_t type, std::string* buffer) {
  type &= 0x1F;
  if (const char* name = LookUpName(kDeviceTypeNames, type, nullptr)) return name;
  if (!buffer) return "Unkown";
  *buffer = Format("Unkown %02X", type);
  return buffer->c_str();
}

DriveList::DriveList(std::unique_ptr<DevicePort> port) : device_(std::move(port)) {}

void DriveList::Scan(WorkerContext* progress) {
  if (progress) {
    progress->SetStatus("");
    progress->SetRange(kScanPositions);
  }
  const std::vector<DriveCandidate> candidates = device_.DriveCandidates();
  for (size_t i = 0; i < candidates.size(); ++i) {
    const DriveCandidate& candidate = candidates[i];
    DriveRecord working;
    working.sourceKind = kSourceDriveLetter;
    working.name = std::string(1, candidate.letter) + ":";
    working.path = candidate.path;
    working.letter = static_cast<uint8_t>(candidate.letter);
    if (progress) {
      const bool isLetter = candidate.letter >= 'A' && candidate.letter <= 'Z';
      progress->SetStatus(Format("Scan %s drive", working.name));
      progress->SetPosition(isLetter ? static_cast<uint32_t>(candidate.letter - 'A')
                                     : static_cast<uint32_t>(i));
      if (progress->StopRequested()) break;
    }
    Probe(working);  // a letter that does not answer is skipped without a word
  }
  if (progress) {
    progress->SetStatus("");
    progress->SetPosition(kScanPositions);
  }
  device_.Close();
}

void DriveList::Append(DriveRecord& working) {
  Refresh(working);
  records_.push_back(working);
}

int DriveList::Probe(DriveRecord& working) {
  if (working.sourceKind == 0 || working.path.empty()) return -1;
  device_.Close();
  if (device_.Open(working.path.c_str(), kOpenSharedReadWrite) != 0) return -1;

  // A SCSI port path names the adapter itself, which has no address of its own.
  bool hasAddress = false;
  ScsiAddress address;
  if (device_.Kind() != kPathScsiPort) {
    uint8_t raw[8] = {};
    if (device_.GetScsiAddress(raw) == 0) {
      hasAddress = true;
      address = DecodeScsiAddress(raw);
    }
  }

  if (std::unique_ptr<AdapterInquiry> inquiry = device_.GetInquiryData()) {
    bool firstUnit = true;
    for (const ScsiBus& bus : inquiry->buses) {
      for (const ScsiUnit& unit : bus.units) {
        if (hasAddress) {
          // The path id is not compared: a drive's address names its bus by the port, and
          // units with the same target and LUN on two buses are two drives of this letter.
          if (unit.targetId != address.targetId || unit.lun != address.lun) continue;
        } else if (!firstUnit) {
          // Without an address every unit behind the letter is listed, but only the first
          // carries the letter's name.
          working.name.clear();
        }
        firstUnit = false;
        working.unit = unit;
        // A record cut short holds less than the identification: the unit itself is asked, at
        // the address the adapter gave. Should it not answer, what the adapter gave stays.
        if (unit.inquiryCut && InquiryUnit(device_, unit.Address(), working.unit) == 0) {
          working.unit.claimed = unit.claimed;
          working.unit.inquiryCut = false;
        }
        Append(working);
      }
    }
    device_.Close();
    return 0;
  }

  // No adapter inquiry data: ask the drive itself, at its address or at 0/0/0.
  if (device_.GetFileType() != kFileTypeDisk) {
    device_.Close();
    return -1;
  }
  const UnitAddress unit = hasAddress ? UnitAddress{address.pathId, address.targetId, address.lun} : UnitAddress{};
  if (InquiryUnit(device_, unit, working.unit) < 0) {
    device_.Close();
    return -1;
  }
  Append(working);
  device_.Close();
  return 0;
}

int DriveList::Refresh(DriveRecord& record) {
  int result = 0;
  if (ReadCapacity(device_, record.Address(), kReadCapacityLength, record.capacity.data()) < 0 ||
      !PlausibleBlockLength(record.BlockLength())) {
    record.capacity.fill(0);
    result = -1;
  }
  if (record.sourceKind == kSourceDriveLetter) {
    // The root of the display name, "E:\"; a record without a name asks for a lone "\".
    record.driveType = device_.DriveType((record.name + "\\").c_str());
  }
  return result;
}

int RunScan(Ui& ui, DriveList& list) {
  list.Clear();
  const ProgressBoxSpec boxSpec{"デバイスを検索しています。", "Scan Device...", "キャンセル", true, 400};
  return RunWorkerWithProgress(ui, boxSpec, [&list](WorkerContext& context) { list.Scan(&context); });
}

}  // namespace orv
