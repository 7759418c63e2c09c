#include "report/build_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"
#include "toolkit/scripted_ui.h"
#include "virtual_report.h"

namespace orv {
namespace {

using test::Titles;
using test::VirtualReport;

constexpr uint8_t kOpModeSense6 = 0x1A;
constexpr uint8_t kOpModeSense10 = 0x5A;
constexpr uint8_t kOpGetConfiguration = 0x46;
constexpr uint8_t kOpReadDvdStructure = 0xAD;

std::string FirstLine(const std::string& text) { return text.substr(0, text.find("\r\n")); }

size_t RowOf(const DriveReport& report, const std::string& title) {
  for (size_t row = 0; row < report.RowCount(); ++row)
    if (report.RowTitle(row) == title) return row;
  return report.RowCount();
}

// The opcodes of the commands the drive received, in order.
std::vector<uint8_t> Opcodes(VirtualDrive& drive) {
  std::vector<uint8_t> opcodes;
  for (const auto& cdb : drive.LastCdbs()) opcodes.push_back(cdb.empty() ? 0 : cdb[0]);
  return opcodes;
}

TEST(BuildDriveReport, DvdRamDriveInReportOrder) {
  VirtualReport drive("dvdram");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(report.Identification(), "E: ORVANE   VIRTUAL DVD-RAM  1.01");
  EXPECT_EQ(Titles(report),
            (std::vector<std::string>{"Capacity/Geometory",
                                      "Mode Parameter",
                                      "  01H: Read/Write Error Recovery Parameter",
                                      "  08H: Cache Control Parameter",
                                      "  0DH: CD Device Parameter",
                                      "  pagecode 0EH size: 14",
                                      "  1AH: Power Condition",
                                      "  pagecode 1DH size: 10",
                                      "  2AH: MM Capabilities & Mechanical Status",
                                      "Configuration",
                                      "  0000H Profile List Feature",
                                      "  0001H Core Feature",
                                      "  0002H Morphing Feature",
                                      "  0003H Removable Medium Feature",
                                      "  0010H Random Readable Feature",
                                      "  001DH Multi-Read Feature",
                                      "  001EH CD Read Feature",
                                      "  001FH DVD Read Feature",
                                      "  0020H Random Writable Feature",
                                      "  0023H Formattable Feature",
                                      "  0024H Hardware Defect Management Feature",
                                      "  0100H Power Management Feature",
                                      "  0104H Microcode Upgrade Feature",
                                      "  0105H Timeout Feature",
                                      "  0106H DVD CSS Feature",
                                      "  0107H Real Time Steaming Feature",
                                      "  0108H Logical Unit Serial Number Feature",
                                      "DVD Structure layer:0",
                                      "  Physical Format Information",
                                      "  DVD Copyright Information",
                                      "  DVD Disc Manufacturing Information",
                                      "  DVD-RAM Disc Definition Structure",
                                      "  DVD-RAM Medium Status",
                                      "  DVD-RAM Spare Area Information",
                                      "  DVD-RAM Recording Type Information"}));
  const ReportSection& capacity = report.Row(0);
  EXPECT_EQ(capacity.kind, kSectionCapacity);
  EXPECT_EQ(capacity.valueA, 2295104u);
  EXPECT_EQ(capacity.valueB, 2048u);
  EXPECT_EQ(FirstLine(report.Row(1).text), "modeSense (6): length 120");
  EXPECT_EQ(FirstLine(report.Row(RowOf(report, "Configuration")).text),
            "Configuration (length:164) : Profile 0012H DVD-RAM");
  EXPECT_EQ(report.Row(RowOf(report, "DVD Structure layer:0")).subKind, kSectionHead);
}

TEST(BuildDriveReport, DriveThatRejectsModeSense6GetsModeSense10) {
  VirtualReport drive("dvdram");
  MmcContent content = drive.Content();
  content.modeSense6 = false;
  drive.SetContent(content);
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(FirstLine(report.Row(1).text), "modeSense (10): length 124");
  EXPECT_EQ(report.RowTitle(2), "  01H: Read/Write Error Recovery Parameter");
  const std::vector<std::vector<uint8_t>> cdbs = drive.Drive().LastCdbs();
  size_t tenByte = 0;
  for (size_t i = 0; i < cdbs.size(); ++i)
    if (cdbs[i][0] == kOpModeSense10) tenByte = i;
  ASSERT_NE(tenByte, 0u);
  EXPECT_EQ(cdbs[tenByte - 1][0], kOpModeSense6);
  EXPECT_EQ(cdbs[tenByte][1] & 0x08, 0x08);  // DBD
  EXPECT_EQ(cdbs[tenByte][2], 0x3F);         // current values, every page
  EXPECT_EQ(cdbs[tenByte][7], 0x10);         // allocation length 4096
  EXPECT_EQ(cdbs[tenByte][8], 0x00);
}

TEST(BuildDriveReport, EmptyFirstPageOfModeSense6FallsBackToModeSense10) {
  VirtualReport drive("dvdram");
  MmcContent content = drive.Content();
  content.modeSense6EmptyFirstPage = true;
  drive.SetContent(content);
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(FirstLine(report.Row(1).text), "modeSense (10): length 124");
}

TEST(BuildDriveReport, ShortModeSense6AnswerIsUsedUnchanged) {
  VirtualReport drive("dvdram");
  drive.Drive().SetAnswerOverride(kOpModeSense6, {0x05, 0x00, 0x00, 0x00, 0x00, 0x00});
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(report.RowTitle(1), "Mode Parameter");
  EXPECT_EQ(FirstLine(report.Row(1).text), "modeSense (6): length 6");
  EXPECT_EQ(report.RowTitle(2), "Configuration");
  for (uint8_t opcode : Opcodes(drive.Drive())) EXPECT_NE(opcode, kOpModeSense10);
}

TEST(BuildDriveReport, BothModeSenseCommandsFailingLeaveNoModeSection) {
  VirtualReport drive("dvdram");
  drive.Drive().SetHandler(kOpModeSense6, {});
  drive.Drive().SetHandler(kOpModeSense10, {});
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(report.RowTitle(1), "Configuration");
}

TEST(BuildDriveReport, TwoLayerDiscWalksLayerOneForItsOwnFormats) {
  VirtualReport drive("dvdrom");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  const std::vector<std::string> titles = Titles(report);
  const size_t head = RowOf(report, "DVD Structure layer:0");
  ASSERT_LT(head, titles.size());
  // Format 02h (the disc key) is listed but refused without authentication: no section.
  EXPECT_EQ(std::vector<std::string>(titles.begin() + static_cast<long>(head), titles.end()),
            (std::vector<std::string>{"DVD Structure layer:0", "  Physical Format Information",
                                      "  DVD Copyright Information", "  DVD Disc Manufacturing Information",
                                      "DVD Structure layer:1", "  Physical Format Information",
                                      "  DVD Copyright Information", "  DVD Disc Manufacturing Information"}));
  const size_t layerOne = RowOf(report, "DVD Structure layer:1");
  EXPECT_EQ(report.Row(layerOne).kind, kSectionDvdLayer);
  EXPECT_EQ(report.Row(layerOne).subKind, kSectionChild);
  EXPECT_EQ(FirstLine(report.Row(layerOne + 1).text),
            "Format:00H Layer:1  Address:----  size:2048 : Physical Format Information");
  // The layer number went out in CDB byte 6 of every request of the second walk.
  int layerOneRequests = 0;
  for (const auto& cdb : drive.Drive().LastCdbs())
    if (cdb[0] == kOpReadDvdStructure && cdb[6] == 1) ++layerOneRequests;
  EXPECT_EQ(layerOneRequests, 4);  // the list and formats 00h, 01h, 04h
}

TEST(BuildDriveReport, DriveWithoutDiscHasNoCapacityAndNoStructures) {
  VirtualReport drive("nodisc");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  ASSERT_GE(report.RowCount(), 2u);
  EXPECT_EQ(report.RowTitle(0), "Mode Parameter");
  EXPECT_EQ(FirstLine(report.Row(RowOf(report, "Configuration")).text),
            "Configuration (length:164) : Profile 0000H No Current Profile");
  EXPECT_EQ(RowOf(report, "DVD Structure layer:0"), report.RowCount());
}

TEST(BuildDriveReport, DiskHasDiskPagesAndNoMmcSections) {
  VirtualReport drive("hdd");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(Titles(report), (std::vector<std::string>{"Capacity/Geometory", "Mode Parameter", "  Block Desciptor",
                                                      "  01H: Read/Write Error Recovery Parameter",
                                                      "  02H: Disconnect/Reconnect", "  04H: Drive Parameter",
                                                      "  08H: Cache Control Parameter", "  0AH: Control Mode Parameter",
                                                      "  0CH: Notch/Partition Parameter"}));
  EXPECT_EQ(report.Row(2).text, test::Lines({"Block Descriptor 00H (512) 16,777,215",
                                             "    Write Protect                                      0",
                                             "    Disable PageOut/Force Unit Access                  1"}));
}

TEST(BuildDriveReport, RebuildingStartsFromAnEmptyReport) {
  VirtualReport drive("hdd");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  const size_t rows = report.RowCount();
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(report.RowCount(), rows);
}

TEST(GatherDriveReport, BuildsBehindTheProgressBox) {
  VirtualReport drive("hdd");
  const DriveRecord record = drive.Record();
  drive.Device().Close();
  ScriptedUi ui;
  DriveReport report;
  ASSERT_EQ(GatherDriveReport(ui, report, drive.Device(), record), 0);
  EXPECT_EQ(report.RowCount(), 9u);
  EXPECT_TRUE(drive.Device().IsOpen());
  const std::vector<RecordedProgress> boxes = ui.ProgressBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].boxSpec.message, "デバイス情報を取得しています。");
  EXPECT_EQ(boxes[0].boxSpec.caption, "Orvane - DVD-RAM Utility");
  EXPECT_EQ(boxes[0].boxSpec.buttonLabel, "キャンセル");
  EXPECT_TRUE(boxes[0].closed);
}

TEST(GatherDriveReport, DriveThatDoesNotOpenShowsNothing) {
  VirtualReport drive("hdd");
  DriveRecord record = drive.Record();
  record.path = "\\\\.\\Q:";
  ScriptedUi ui;
  DriveReport report;
  EXPECT_EQ(GatherDriveReport(ui, report, drive.Device(), record), -1);
  EXPECT_EQ(report.RowCount(), 0u);
  EXPECT_TRUE(ui.ProgressBoxes().empty());
}

TEST(DriveReport, ChosenRowShowsItsTextOrItsTitle) {
  DriveReport report;
  report.AddSection(kSectionModeSense, kSectionChild, "  empty").text = "";
  report.AddSection(kSectionModeSense, kSectionChild, "  full").text = "line\r\n";
  EXPECT_EQ(report.RowDisplayText(0), "  empty");
  EXPECT_EQ(report.RowDisplayText(1), "line\r\n");
}

}  // namespace
}  // namespace orv
