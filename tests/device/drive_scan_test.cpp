#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/adapter_inquiry.h"
#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "toolkit/scripted_ui.h"
#include "toolkit/worker.h"
#include "vdrive/drive_config.h"
#include "vdrive/presets.h"

namespace orv {
namespace {

// Virtual drives only: the computer's own drives never take part.
struct Bench {
  VirtualPort* port = new VirtualPort(MakeClosedPort(MakeOsPort()));
  std::unique_ptr<DriveList> list = std::make_unique<DriveList>(std::unique_ptr<DevicePort>(port));
  WorkerContext context;
  ScriptedUi ui;

  // A drive of `preset` at `letter`, at SCSI address path.target.lun when given.
  std::shared_ptr<VirtualDrive> Add(char letter, const char* preset, std::optional<std::array<uint8_t, 3>> at = {}) {
    std::shared_ptr<VirtualDrive> drive = MakeVirtualDrive(*FindDrivePreset(preset));
    port->AddDrive(letter, drive);
    VirtualDriveFace& face = drive->Face();
    if (at) face.hasScsiAddress = true, face.pathId = (*at)[0], face.targetId = (*at)[1], face.lun = (*at)[2];
    return drive;
  }
  // A scan on this thread; what it reports, in order.
  std::vector<std::string> Scan() {
    auto box = ui.OpenProgress({}, nullptr);
    context.SetBox(box.get());
    list->Scan(&context);
    return ui.ProgressBoxes()[0].events;
  }
};

ScsiUnit Unit(uint32_t path, uint32_t target, uint32_t lun, const char* product) {
  ScsiUnit unit{path, target, lun, 0, std::vector<uint8_t>(36, ' ')};
  unit.inquiryData[0] = 0x05, unit.inquiryData[1] = 0x80, unit.inquiryData[2] = 0x02;
  std::copy(product, product + 4, unit.inquiryData.begin() + 16);
  return unit;
}

std::string Product(const ScsiUnit& unit) {
  return std::string(unit.inquiryData.begin() + 16, unit.inquiryData.begin() + 20);
}

// Each record as "name product path.target.lun".
std::vector<std::string> Listed(const DriveList& list) {
  std::vector<std::string> out;
  for (const DriveRecord& r : list.Records())
    out.push_back(r.name + " " + Product(r.unit) + " " + std::to_string(r.unit.pathId) + "." +
                  std::to_string(r.unit.targetId) + "." + std::to_string(r.unit.lun));
  return out;
}

// Without an address every adapter unit is taken, named on the first only; with one, those of its
// target and LUN on any bus (path id not compared), all named. Capacity is read for each.
TEST(DriveScan, AdapterUnitsAreTakenByTheDrivesAddress) {
  using Buses = std::vector<ScsiBus>;
  const struct {
    char letter;
    bool addressed;  // at 0.1.0
    Buses buses;
    std::vector<std::string> listed;
  } cases[] = {
      {'E', false, Buses{{0, {Unit(0, 0, 0, "ONE "), Unit(0, 1, 0, "TWO ")}}, {1, {Unit(1, 0, 0, "THRE")}}},
       {"E: ONE  0.0.0", " TWO  0.1.0", " THRE 1.0.0"}},
      {'F', true, Buses{{7, {Unit(0, 0, 0, "DISK"), Unit(0, 1, 0, "BUS0"), Unit(0, 1, 1, "LUN1")}}, {7, {}},
                        {7, {Unit(2, 1, 0, "BUS2")}}}, {"F: BUS0 0.1.0", "F: BUS2 2.1.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.letter);
    Bench bench;
    auto drive = bench.Add(c.letter, "dvdram", std::array<uint8_t, 3>{0, 1, 0});
    drive->Face().hasScsiAddress = c.addressed;
    drive->Face().adapterInquiry = EncodeAdapterInquiry(AdapterInquiry{c.buses});
    bench.list->Scan(nullptr);
    EXPECT_EQ(Listed(*bench.list), c.listed);
    for (const DriveRecord& record : bench.list->Records()) {
      EXPECT_EQ(record.path, std::string("\\\\.\\") + c.letter + ":");
      EXPECT_EQ((std::vector<uint64_t>{record.letter, record.sourceKind, record.BlockCount(), record.BlockLength()}),
                (std::vector<uint64_t>{uint64_t(c.letter), kSourceDriveLetter, 2295104, 2048}));
    }
  }
}

TEST(DriveScan, InquiryFallbackWhenTheAdapterGivesNoData) {
  Bench bench;
  bench.Add('G', "hdd", std::array<uint8_t, 3>{1, 3, 2});
  bench.Add('H', "dvdram")->Face().hasScsiAddress = false;
  bench.Add('I', "dvdram")->Face().fileType = kFileTypeChar;  // not a disk: gives nothing
  bench.Add('J', "nodisc");  // listed, with zero capacity
  bench.list->Scan(nullptr);
  EXPECT_EQ(Listed(*bench.list), (std::vector<std::string>{"G: VIRT 1.3.2", "H: VIRT 0.0.0", "J: VIRT 0.0.0"}));
  const auto& records = bench.list->Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ((std::vector<uint64_t>{records[0].unit.inquiryData.size(), records[0].driveType, records[1].driveType}),
            (std::vector<uint64_t>{40, 3, 5}));
  EXPECT_NE(records[1].CapacityBytes(), 0u);
  EXPECT_EQ(records[2].capacity, (std::array<uint8_t, 8>{}));
}

// A driver that counts only the first 36 bytes of its answer as returned cuts the record's
// inquiry data to 12 of the 36 it claims: the unit is then asked itself, at the record's address.
TEST(DriveScan, ARecordCutShortIsAskedAgainThroughThePassThrough) {
  Bench bench;
  AdapterInquiry inquiry;
  inquiry.buses = {{0, {Unit(0, 2, 0, "CUT ")}}};
  inquiry.buses[0].units[0].claimed = 1;
  std::vector<uint8_t> answer = EncodeAdapterInquiry(inquiry);
  answer.resize(36);
  bench.Add('K', "dvdram", std::array<uint8_t, 3>{0, 2, 0})->Face().adapterInquiry = answer;
  // A record that holds all it claims is taken as it is, short or not.
  inquiry.buses[0].units[0].inquiryData.resize(12);
  bench.Add('L', "dvdram", std::array<uint8_t, 3>{0, 2, 0})->Face().adapterInquiry = EncodeAdapterInquiry(inquiry);
  bench.list->Scan(nullptr);
  const auto& records = bench.list->Records();
  ASSERT_EQ(records.size(), 2u);
  ASSERT_EQ(records[0].unit.inquiryData.size(), 40u);
  EXPECT_EQ(Product(records[0].unit), "VIRT");
  EXPECT_EQ((std::vector<uint32_t>{records[0].unit.targetId, records[0].unit.claimed}), (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(records[1].unit.inquiryData.size(), 12u);
}

TEST(DriveScan, ProgressNamesEachLetterAtItsPositionAndEndsFull) {
  const struct {
    std::vector<std::pair<char, const char*>> drives;
    std::vector<std::string> events;
  } cases[] = {
      {{}, {"status ", "range 26", "status ", "pos 26"}},
      {{{'C', "hdd"}, {'Z', "dvdrom"}},
       {"status ", "range 26", "status Scan C: drive", "pos 2", "status Scan Z: drive", "pos 25", "status ", "pos 26"}},
  };
  for (const auto& c : cases) {
    Bench bench;
    for (const auto& [letter, preset] : c.drives) bench.Add(letter, preset);
    EXPECT_EQ(bench.Scan(), c.events);
    EXPECT_EQ(bench.list->Count(), c.drives.size());
  }
}

TEST(DriveScan, CancelDuringAProbeKeepsThatDriveAndStopsBeforeTheNext) {
  Bench bench;
  for (char letter : {'A', 'B', 'C', 'D', 'E', 'F'}) {
    auto drive = bench.Add(letter, "dvdram");
    // The user presses the button while D is being probed.
    if (letter == 'D') drive->SetAnswerHook([&](VirtualDrive&, CommandContext&) { return bench.context.RequestStop(), false; });
  }
  const std::vector<std::string> events = bench.Scan();
  std::string names;
  for (const DriveRecord& record : bench.list->Records()) names += record.name;
  EXPECT_EQ(names, "A:B:C:D:");
  const std::vector<std::string> tail(events.end() - 4, events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"status Scan E: drive", "pos 4", "status ", "pos 26"}));
  EXPECT_FALSE(bench.list->Device().IsOpen());
}

TEST(DriveScan, ProbeRefusesARecordWithoutSourceOrPath) {
  Bench bench;
  bench.Add('E', "dvdram");
  for (const auto& [source, path] : {std::pair<uint32_t, const char*>{0, "\\\\.\\E:"}, {kSourceDriveLetter, ""},
                                     {kSourceDriveLetter, "\\\\.\\Q:"}}) {  // Q: does not open
    DriveRecord record;
    record.sourceKind = source, record.path = path;
    EXPECT_EQ(bench.list->Probe(record), -1) << path;
  }
  EXPECT_EQ(bench.list->Count(), 0u);
}

TEST(DriveScan, RefreshRereadsCapacityAfterTheDiscChanged) {
  Bench bench;
  auto drive = bench.Add('E', "dvdram");
  bench.list->Scan(nullptr);
  DriveRecord record = bench.list->Records()[0];
  drive->ChangeMedium(nullptr);
  ASSERT_EQ(bench.list->Device().Open(record.path.c_str(), kOpenSharedReadWrite), 0);
  EXPECT_EQ(bench.list->Refresh(record), -1);
  EXPECT_EQ(record.CapacityBytes(), 0u);
  EXPECT_EQ(record.driveType, 5u);
  // A block length no drive has would size every operation's buffers: it counts as a failed
  // READ CAPACITY (last LBA 999 answered each time).
  const std::pair<uint32_t, bool> lengths[] = {{0, false}, {65537, false}, {65536, true}, {2352, true}};
  for (const auto& [length, plausible] : lengths) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> answer(8);
    PutBe32(answer.data(), 999);
    PutBe32(answer.data() + 4, length);
    drive->SetAnswerOverride(scsi_op::kReadCapacity, answer);
    EXPECT_EQ(bench.list->Refresh(record), plausible ? 0 : -1);
    EXPECT_EQ(record.CapacityBytes(), plausible ? 1000u * length : 0u);
  }
}

TEST(DriveScan, ScanWindowRunsTheWalkUnderAProgressBox) {
  Bench bench;
  bench.Add('E', "dvdram");
  bench.Add('F', "hdd");
  ScriptedUi ui;
  ASSERT_EQ(RunScan(ui, *bench.list), 0);
  EXPECT_EQ(bench.list->Count(), 2u);
  const auto boxes = ui.ProgressBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  const auto& box = boxes[0].boxSpec;
  EXPECT_EQ((std::vector<std::string>{box.message, box.caption, box.buttonLabel}),
            (std::vector<std::string>{"デバイスを検索しています。", "Scan Device...", "キャンセル"}));
  EXPECT_TRUE(box.progressBar && boxes[0].closed);
  EXPECT_EQ((std::vector<int64_t>{box.width, boxes[0].position}), (std::vector<int64_t>{400, 26}));

  // A second scan starts from an empty list; the button stops it before the next letter.
  ui.PressProgressButtonOnStatus("Scan F: drive");
  ASSERT_EQ(RunScan(ui, *bench.list), 0);
  ASSERT_EQ(bench.list->Count(), 1u);
  EXPECT_EQ(bench.list->Records()[0].name, "E:");
}

}  // namespace
}  // namespace orv
