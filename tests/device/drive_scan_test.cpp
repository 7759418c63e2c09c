#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/drive_list.h"
#include "device/ports/adapter_inquiry_answer.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "toolkit/endian.h"
#include "toolkit/scripted_ui.h"
#include "toolkit/worker.h"
#include "vdrive/drive_config.h"
#include "vdrive/presets.h"

namespace orv {
namespace {

// Virtual drives only: the computer's own drives never take part.
struct Bench {
  VirtualPort* port = nullptr;
  std::unique_ptr<DriveList> list;

  Bench() {
    auto virtualPort = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    port = virtualPort.get();
    list = std::make_unique<DriveList>(std::move(virtualPort));
  }
  std::shared_ptr<VirtualDrive> Add(char letter, const char* preset) {
    std::shared_ptr<VirtualDrive> drive = MakeVirtualDrive(*FindDrivePreset(preset));
    port->AddDrive(letter, drive);
    return drive;
  }
};

// Records what the walk reports, in order.
class RecordingSink : public ProgressSink {
 public:
  std::vector<std::string> events;
  void SetStatus(std::string_view text) override { events.push_back("status " + std::string(text)); }
  void SetRange(uint32_t maximum) override { events.push_back("range " + std::to_string(maximum)); }
  void SetPosition(uint32_t position) override { events.push_back("pos " + std::to_string(position)); }
};

ScsiUnit Unit(uint32_t path, uint32_t target, uint32_t lun, const char* product) {
  ScsiUnit unit{path, target, lun, 0, std::vector<uint8_t>(36, ' ')};
  unit.inquiryData[0] = 0x05;
  unit.inquiryData[1] = 0x80;
  unit.inquiryData[2] = 0x02;
  for (size_t i = 0; product[i] && i < 16; ++i) unit.inquiryData[16 + i] = static_cast<uint8_t>(product[i]);
  return unit;
}

std::string Product(const DriveRecord& record) {
  return std::string(record.unit.inquiryData.begin() + 16, record.unit.inquiryData.begin() + 20);
}

TEST(DriveScan, UnitsWithoutAddressAreListedUnnamedAfterTheFirst) {
  Bench bench;
  auto drive = bench.Add('E', "dvdram");
  drive->Face().hasScsiAddress = false;
  AdapterInquiry inquiry;
  inquiry.buses = {{0, {Unit(0, 0, 0, "ONE "), Unit(0, 1, 0, "TWO ")}}, {1, {Unit(1, 0, 0, "THRE")}}};
  drive->Face().adapterInquiry = EncodeAdapterInquiry(inquiry);

  bench.list->Scan(nullptr);
  const auto& records = bench.list->Records();
  ASSERT_EQ(records.size(), 3u);
  const char* names[] = {"E:", "", ""};
  const char* products[] = {"ONE ", "TWO ", "THRE"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(records[i].name, names[i]) << i;
    EXPECT_EQ(records[i].path, "\\\\.\\E:") << i;
    EXPECT_EQ(records[i].letter, uint32_t{'E'}) << i;
    EXPECT_EQ(records[i].sourceKind, kSourceDriveLetter) << i;
    EXPECT_EQ(Product(records[i]), products[i]) << i;
  }
  EXPECT_EQ(records[2].unit.pathId, 1u);
  // Capacity is read for every unit taken.
  EXPECT_EQ(records[0].BlockCount(), 2295104u);
  EXPECT_EQ(records[0].BlockLength(), 2048u);
}

TEST(DriveScan, AddressMatchesTargetAndLunOnEveryBus) {
  Bench bench;
  auto drive = bench.Add('F', "dvdram");
  drive->Face().hasScsiAddress = true;
  drive->Face().pathId = 0;
  drive->Face().targetId = 1;
  drive->Face().lun = 0;
  AdapterInquiry inquiry;
  inquiry.buses = {{7, {Unit(0, 0, 0, "DISK"), Unit(0, 1, 0, "BUS0"), Unit(0, 1, 1, "LUN1")}},
                   {7, {}},
                   {7, {Unit(2, 1, 0, "BUS2")}}};
  drive->Face().adapterInquiry = EncodeAdapterInquiry(inquiry);

  bench.list->Scan(nullptr);
  const auto& records = bench.list->Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(Product(records[0]), "BUS0");
  EXPECT_EQ(Product(records[1]), "BUS2");
  EXPECT_EQ(records[1].unit.pathId, 2u);  // the path id is not compared
  EXPECT_EQ(records[0].name, "F:");
  EXPECT_EQ(records[1].name, "F:");       // with an address, every unit keeps the name
}

TEST(DriveScan, InquiryFallbackWhenTheAdapterGivesNoData) {
  Bench bench;
  auto withAddress = bench.Add('G', "hdd");
  withAddress->Face().hasScsiAddress = true;
  withAddress->Face().pathId = 1;
  withAddress->Face().targetId = 3;
  withAddress->Face().lun = 2;
  auto noAddress = bench.Add('H', "dvdram");
  noAddress->Face().hasScsiAddress = false;
  auto notDisk = bench.Add('I', "dvdram");
  notDisk->Face().fileType = kFileTypeChar;

  bench.list->Scan(nullptr);
  const auto& records = bench.list->Records();
  ASSERT_EQ(records.size(), 2u);  // a handle that is not a disk gives nothing
  EXPECT_EQ(records[0].name, "G:");
  EXPECT_EQ(records[0].unit.pathId, 1u);
  EXPECT_EQ(records[0].unit.targetId, 3u);
  EXPECT_EQ(records[0].unit.lun, 2u);
  EXPECT_EQ(records[0].unit.inquiryData.size(), 40u);
  EXPECT_EQ(records[0].driveType, 3u);
  EXPECT_EQ(records[1].name, "H:");
  EXPECT_EQ(records[1].unit.targetId, 0u);
  EXPECT_EQ(records[1].driveType, 5u);
}

TEST(DriveScan, DriveWithoutMediumIsListedWithZeroCapacity) {
  Bench bench;
  bench.Add('E', "nodisc");
  bench.list->Scan(nullptr);
  ASSERT_EQ(bench.list->Count(), 1u);
  const DriveRecord& record = bench.list->Records()[0];
  EXPECT_EQ(record.capacity, (std::array<uint8_t, 8>{}));
  EXPECT_EQ(record.CapacityBytes(), 0u);
}

TEST(DriveScan, CancelDuringAProbeKeepsThatDriveAndStopsBeforeTheNext) {
  Bench bench;
  WorkerContext context;
  RecordingSink sink;
  context.SetBox(&sink);
  for (char letter : {'A', 'B', 'C', 'D', 'E', 'F'}) {
    auto drive = bench.Add(letter, "dvdram");
    if (letter == 'D') {
      // The user presses the button while D is being probed.
      drive->SetAnswerHook([&](VirtualDrive&, CommandContext&) {
        context.RequestStop();
        return false;
      });
    }
  }
  bench.list->Scan(&context);
  std::string names;
  for (const DriveRecord& record : bench.list->Records()) names += record.name;
  EXPECT_EQ(names, "A:B:C:D:");
  const std::vector<std::string> tail(sink.events.end() - 4, sink.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"status Scan E: drive", "pos 4", "status ", "pos 26"}));
  EXPECT_FALSE(bench.list->Device().IsOpen());
}

TEST(DriveScan, NoDrivesGivesAnEmptyListAndAFullBar) {
  Bench bench;
  WorkerContext context;
  RecordingSink sink;
  context.SetBox(&sink);
  bench.list->Scan(&context);
  EXPECT_EQ(bench.list->Count(), 0u);
  EXPECT_EQ(sink.events, (std::vector<std::string>{"status ", "range 26", "status ", "pos 26"}));
}

TEST(DriveScan, ProgressNamesEachLetterAtItsPosition) {
  Bench bench;
  bench.Add('C', "hdd");
  bench.Add('Z', "dvdrom");
  WorkerContext context;
  RecordingSink sink;
  context.SetBox(&sink);
  bench.list->Scan(&context);
  EXPECT_EQ(sink.events, (std::vector<std::string>{"status ", "range 26", "status Scan C: drive", "pos 2",
                                                   "status Scan Z: drive", "pos 25", "status ", "pos 26"}));
}

TEST(DriveScan, ProbeRefusesARecordWithoutSourceOrPath) {
  Bench bench;
  bench.Add('E', "dvdram");
  DriveRecord working;
  working.path = "\\\\.\\E:";
  EXPECT_EQ(bench.list->Probe(working), -1);  // source kind 0
  working.sourceKind = kSourceDriveLetter;
  working.path.clear();
  EXPECT_EQ(bench.list->Probe(working), -1);
  working.path = "\\\\.\\Q:";
  EXPECT_EQ(bench.list->Probe(working), -1);  // does not open
  EXPECT_EQ(bench.list->Count(), 0u);
}

TEST(DriveScan, RefreshRereadsCapacityAfterTheDiscChanged) {
  Bench bench;
  auto drive = bench.Add('E', "dvdram");
  bench.list->Scan(nullptr);
  DriveRecord record = bench.list->Records()[0];
  drive->ChangeMedium(nullptr);
  DeviceHandle& device = bench.list->Device();
  ASSERT_EQ(device.Open(record.path.c_str(), kOpenSharedReadWrite), 0);
  EXPECT_EQ(bench.list->Refresh(record), -1);
  EXPECT_EQ(record.CapacityBytes(), 0u);
  EXPECT_EQ(record.driveType, 5u);
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
  EXPECT_EQ(boxes[0].boxSpec.message, "デバイスを検索しています。");
  EXPECT_EQ(boxes[0].boxSpec.caption, "Scan Device...");
  EXPECT_EQ(boxes[0].boxSpec.buttonLabel, "キャンセル");
  EXPECT_TRUE(boxes[0].boxSpec.progressBar);
  EXPECT_EQ(boxes[0].boxSpec.width, 400);
  EXPECT_EQ(boxes[0].position, 26u);
  EXPECT_TRUE(boxes[0].closed);

  // A second scan starts from an empty list; the button stops it before the next letter.
  ui.PressProgressButtonOnStatus("Scan F: drive");
  ASSERT_EQ(RunScan(ui, *bench.list), 0);
  ASSERT_EQ(bench.list->Count(), 1u);
  EXPECT_EQ(bench.list->Records()[0].name, "E:");
}

TEST(DeviceTypeName, LowFiveBitsCountAndUnknownTypesMayCarryTheirCode) {
  struct Case {
    uint32_t type;
    const char* name;
    const char* withBuffer;
  } cases[] = {
      {0x25, "CD/DVD-ROM device", "CD/DVD-ROM device"},
      {0x09, "Communication device", "Communication device"},
      {0x0A, "Unkown", "Unkown 0A"},
      {0x1F, "Unkown", "Unkown 1F"},
      {0xFF, "Unkown", "Unkown 1F"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(DeviceTypeName(c.type), c.name) << c.type;
    std::string buffer;
    EXPECT_STREQ(DeviceTypeName(c.type, &buffer), c.withBuffer) << c.type;
  }
}

TEST(AdapterInquiryAnswer, ParsesBackToTheSameUnits) {
  AdapterInquiry inquiry;
  inquiry.buses = {{3, {Unit(0, 0, 0, "A"), Unit(0, 5, 1, "B")}}, {4, {}}, {5, {Unit(2, 1, 0, "C")}}};
  inquiry.buses[0].units[1].inquiryData.resize(5);  // an odd length keeps the next record aligned
  const std::vector<uint8_t> answer = EncodeAdapterInquiry(inquiry);
  auto parsed = ParseAdapterInquiry(answer);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->BusCount(), 3u);
  for (size_t b = 0; b < 3; ++b) {
    EXPECT_EQ(parsed->buses[b].initiatorBusId, inquiry.buses[b].initiatorBusId);
    ASSERT_EQ(parsed->buses[b].UnitCount(), inquiry.buses[b].UnitCount()) << b;
    for (size_t u = 0; u < inquiry.buses[b].units.size(); ++u) {
      const ScsiUnit& want = inquiry.buses[b].units[u];
      const ScsiUnit& got = parsed->buses[b].units[u];
      EXPECT_EQ(got.pathId, want.pathId);
      EXPECT_EQ(got.targetId, want.targetId);
      EXPECT_EQ(got.lun, want.lun);
      EXPECT_EQ(got.inquiryData, want.inquiryData);
    }
  }
}

}  // namespace
}  // namespace orv
