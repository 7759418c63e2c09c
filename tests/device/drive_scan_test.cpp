#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "device/adapter_inquiry.h"
#include "device/drive_list.h"
#include "device/inquiry_view.h"
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

// E: no address, every adapter unit, named on the first; F: its target and LUN on any bus; G, H: no adapter data,
// INQUIRY; I: not a disk; J: no disc; K: a record the driver cut, asked at its address; L: short but whole, kept.
TEST(DriveScan, UnitsFromTheAdapterByTheDrivesAddressElseFromInquiry) {
  Bench bench;
  const auto buses = [](std::vector<ScsiBus> buses) { return EncodeAdapterInquiry(AdapterInquiry{std::move(buses)}); };
  auto e = bench.Add('E', "dvdram");
  e->Face().hasScsiAddress = false;
  e->Face().adapterInquiry = buses({{0, {Unit(0, 0, 0, "ONE "), Unit(0, 1, 0, "TWO ")}}, {1, {Unit(1, 0, 0, "THRE")}}});
  bench.Add('F', "dvdram", std::array<uint8_t, 3>{0, 1, 0})->Face().adapterInquiry =
      buses({{7, {Unit(0, 0, 0, "DISK"), Unit(0, 1, 0, "BUS0"), Unit(0, 1, 1, "LUN1")}}, {7, {}},
             {7, {Unit(2, 1, 0, "BUS2")}}});
  bench.Add('G', "hdd", std::array<uint8_t, 3>{1, 3, 2});
  bench.Add('H', "dvdram")->Face().hasScsiAddress = false;
  bench.Add('I', "dvdram")->Face().fileType = kFileTypeChar;
  bench.Add('J', "nodisc");
  ScsiUnit claimed = Unit(0, 2, 0, "CUT ");
  claimed.claimed = 1;
  std::vector<uint8_t> cut = buses({{0, {claimed}}});
  cut.resize(36);
  bench.Add('K', "dvdram", std::array<uint8_t, 3>{0, 2, 0})->Face().adapterInquiry = cut;
  claimed.inquiryData.resize(12);
  bench.Add('L', "dvdram", std::array<uint8_t, 3>{0, 2, 0})->Face().adapterInquiry = buses({{0, {claimed}}});
  bench.list->Scan(nullptr);
  std::vector<std::string> listed;  // name, product, path.target.lun, INQUIRY length, claimed, blocks
  for (const DriveRecord& r : bench.list->Records()) {
    listed.push_back(r.name + " " + InquiryView(r.unit).Product().substr(0, 4) + " " + std::to_string(r.unit.pathId) +
                     "." + std::to_string(r.unit.targetId) + "." + std::to_string(r.unit.lun) + " " +
                     std::to_string(r.unit.InquiryLength()) + " " + std::to_string(r.unit.claimed) + " " +
                     std::to_string(r.BlockCount()));
    EXPECT_EQ(r.path, std::string("\\\\.\\") + char(r.letter) + ":");
    EXPECT_EQ(r.sourceKind, kSourceDriveLetter);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "E: ONE  0.0.0 36 0 2295104", " TWO  0.1.0 36 0 2295104", " THRE 1.0.0 36 0 2295104",
                        "F: BUS0 0.1.0 36 0 2295104", "F: BUS2 2.1.0 36 0 2295104", "G: VIRT 1.3.2 40 0 16777216",
                        "H: VIRT 0.0.0 40 0 2295104", "J: VIRT 0.0.0 40 0 0", "K: VIRT 0.2.0 40 1 2295104",
                        "L:  0.2.0 12 1 2295104"}));
}

TEST(DriveScan, CancelDuringAProbeKeepsThatDriveAndStopsBeforeTheNext) {
  Bench bench;
  for (char letter : {'A', 'B', 'C', 'D', 'E', 'F'}) {
    auto drive = bench.Add(letter, "dvdram");
    // The user presses the button while D is being probed.
    if (letter == 'D') {
      drive->SetAnswerHook([&](VirtualDrive&, CommandContext&) { return bench.context.RequestStop(), false; });
    }
  }
  const std::vector<std::string> events = bench.Scan();
  std::string names;
  for (const DriveRecord& record : bench.list->Records()) names += record.name;
  EXPECT_EQ(names, "A:B:C:D:");
  // Each letter's position, the range of 26 letters and the full bar at the end, cancelled or not.
  EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
            (std::vector<std::string>{"status ", "range 26", "status Scan A: drive", "pos 0"}));
  EXPECT_EQ(std::vector<std::string>(events.end() - 4, events.end()),
            (std::vector<std::string>{"status Scan E: drive", "pos 4", "status ", "pos 26"}));
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
}

}  // namespace
}  // namespace orv
