// The gatherers against the virtual drives, for what the presets' info goldens do not show.
#include "report/build_report.h"

#include <gtest/gtest.h>

#include "scsi/opcodes.h"
#include "toolkit/scripted_ui.h"
#include "virtual_report.h"

namespace orv {
namespace {

using test::VirtualReport;

TEST(BuildDriveReport, ModeSense10WhenModeSense6IsRefusedOrAnswersEmptily) {
  // DBD, current values of every page, 4096 bytes.
  const std::vector<uint8_t> modeSense10 = {scsi_op::kModeSense10, 0x08, 0x3F, 0, 0, 0, 0, 0x10, 0x00, 0};
  const struct {
    const char* name;
    void (*setup)(VirtualReport&);
    const char* section;  // title and first line of the section after the capacity section
    size_t commands;      // MODE SENSE commands sent: (6), or (6) then (10)
  } cases[] = {
      {"refused", [](VirtualReport& d) { d.EditContent([](MmcContent& c) { c.modeSense6 = false; }); },
       "Mode Parameter | modeSense (10): length 124", 2},
      {"empty first page",
       [](VirtualReport& d) { d.EditContent([](MmcContent& c) { c.modeSense6EmptyFirstPage = true; }); },
       "Mode Parameter | modeSense (10): length 124", 2},
      {"short answer used unchanged",
       [](VirtualReport& d) { d.Drive().SetAnswerOverride(scsi_op::kModeSense6, {5, 0, 0, 0, 0, 0}); },
       "Mode Parameter | modeSense (6): length 6", 1},
      {"both refused: no mode sections",
       [](VirtualReport& d) {
         d.Drive().SetHandler(scsi_op::kModeSense6, {});
         d.Drive().SetHandler(scsi_op::kModeSense10, {});
       },
       "Configuration | Configuration (length:164) : Profile 0012H DVD-RAM", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualReport drive("dvdram");
    c.setup(drive);
    DriveReport report;
    ASSERT_EQ(drive.Build(report), 0);
    const std::string& text = report.Row(1).text;  // a missing row throws
    EXPECT_EQ(report.RowTitle(1) + " | " + text.substr(0, text.find("\r\n")), c.section);
    std::vector<std::vector<uint8_t>> cdbs;  // the MODE SENSE commands the drive received, in order
    for (const auto& cdb : drive.Drive().LastCdbs())
      if (cdb[0] == scsi_op::kModeSense6 || cdb[0] == scsi_op::kModeSense10) cdbs.push_back(cdb);
    ASSERT_EQ(cdbs.size(), c.commands);
    EXPECT_EQ(cdbs[0][0], scsi_op::kModeSense6);
    if (c.commands == 2) {
      EXPECT_EQ(cdbs[1], modeSense10);
    }
  }
}

// A MODE SENSE(6) mode data length of 255 means 256 bytes, one more than the command moves:
// the head section counts and dumps all 256, the last one the zero of the cleared buffer.
TEST(BuildDriveReport, ModeSense6OfTheLargestLengthIsDumpedWhole) {
  std::vector<uint8_t> answer(255, 0x41);
  const uint8_t header[] = {0xFF, 0, 0, 0, 0x07, 0xFA};  // a page without a decoder, running to the end
  std::copy(header, header + 6, answer.begin());
  VirtualReport drive("dvdram");
  drive.Drive().SetAnswerOverride(scsi_op::kModeSense6, answer);
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  ASSERT_GE(report.RowCount(), 3u);
  const std::string& head = report.Row(1).text;
  EXPECT_EQ(head.substr(0, head.find("\r\n")), "modeSense (6): length 256");
  EXPECT_NE(head.find("0000-00F0  41 41 41 41 41 41 41 41 - 41 41 41 41 41 41 41 00  AAAAAAAAAAAAAAA.\r\n"),
            std::string::npos);
  EXPECT_EQ(report.RowTitle(2), "  pagecode 07H size:250");
}

// Kind and sub-kind of every section, which the list control groups by: capacity, mode pages,
// features, then each layer's structures (the second layer's head under the first).
TEST(BuildDriveReport, SectionKindsOfATwoLayerDisc) {
  const auto kinds = [](const DriveReport& report) {
    std::string text;
    for (size_t row = 0; row < report.RowCount(); ++row)
      text += std::to_string(report.Row(row).kind) + "." + std::to_string(report.Row(row).subKind) + " ";
    return text;
  };
  const std::string expected =
      "1.0 5.0 5.1 5.1 5.1 5.1 5.1 6.0 6.1 6.1 6.1 6.1 6.1 6.1 6.1 6.1 6.1 6.1 6.1 6.1 "
      "7.0 6.1 6.1 6.1 7.1 6.1 6.1 6.1 ";
  VirtualReport drive("dvdrom");
  DriveReport report;
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(kinds(report), expected);
  // The layer number went out in CDB byte 6 of every request of the second walk: the list and
  // formats 00h, 01h, 04h (the disc key, 02h, is read on layer 0 only).
  int layerOneRequests = 0;
  for (const auto& cdb : drive.Drive().LastCdbs())
    if (cdb[0] == scsi_op::kReadDvdStructure && cdb[6] == 1) ++layerOneRequests;
  EXPECT_EQ(layerOneRequests, 4);
  // A rebuild starts from an empty report.
  ASSERT_EQ(drive.Build(report), 0);
  EXPECT_EQ(kinds(report), expected);
}

TEST(GatherDriveReport, BuildsBehindTheProgressBoxAndADriveThatDoesNotOpenShowsNothing) {
  VirtualReport drive("hdd");
  DriveRecord record = drive.Record();
  drive.Device().Close();
  ScriptedUi ui;
  DriveReport report;
  record.path = "\\\\.\\Q:";
  EXPECT_EQ(GatherDriveReport(ui, report, drive.Device(), record), -1);
  EXPECT_EQ(report.RowCount(), 0u);
  EXPECT_TRUE(ui.ProgressBoxes().empty());
  record.path = "\\\\.\\E:";
  ASSERT_EQ(GatherDriveReport(ui, report, drive.Device(), record), 0);
  EXPECT_EQ(report.RowCount(), 9u);
  EXPECT_TRUE(drive.Device().IsOpen());
  const std::vector<RecordedProgress> boxes = ui.ProgressBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  const ProgressBoxSpec& box = boxes[0].boxSpec;
  EXPECT_EQ((std::vector<std::string>{box.message, box.caption, box.buttonLabel}),
            (std::vector<std::string>{"デバイス情報を取得しています。", "Orvane - DVD-RAM Utility", "キャンセル"}));
  EXPECT_TRUE(boxes[0].closed);
}

}  // namespace
}  // namespace orv
