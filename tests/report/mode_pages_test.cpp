#include "report/mode_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "report_test_util.h"

namespace orv {
namespace {

using test::Lines;

struct PageCase {
  const char* name;
  std::vector<uint8_t> page;
  std::vector<std::string> lines;
};

// One fixture per decoded page, each with set and clear bits, a signed value or a unit where
// the page has one, so that a wrong bit, column, label or unit changes a line.
const PageCase kPageCases[] = {
    {"ErrorRecovery",
     {0x01,10, 0xC5,3,0,0xFE,0x80,0,5,0,0x0B,0xB8},
     {
      "Automatic Write Reallocation Enabled                  ON",
      "Automatic Read  Reallocation Enabled                  ON",
      "Transfer Block                                       OFF",
      "Read Continuous                                      OFF",
      "Enable Early Recovery                                OFF",
      "Post Error                                            ON",
      "Disable Tranfer on Error                             OFF",
      "Disable Correction                                    ON",
      "Read Retry Count                                       3",
      "Correction Span                                        0",
      "Head Offset                                           -2",
      "Data Strobe Offset                                  -128",
      "Write Retry Count                                      5",
      "Recovery Time Limit                                3,000ms",
     }},
    {"DisconnectReconnect",
     {0x02,14, 0x80,0x40,0x01,0x00,0x00,0x20,0x00,0x00,0x10,0x00,0xFD,0x00,0x04,0x00},
     {
      "Buffer Full Ratio                                    128",
      "Buffer Empty Ratio                                    64",
      "Bus Inactive Limit                                   256",
      "Disconnect Time Limit                                 32",
      "Connect Time Limit                                     0",
      "Maximum Burst Size                                 4,096",
      "Data Transfer Disconnect Control                       5",
      "Disconnect Immediate                                  ON",
      "Fair Arbitration                                       7",
      "Enable Modify Data Pointers                           ON",
      "First Burst Size                                   1,024",
     }},
    {"DriveParameter",
     {0x04,22, 0x01,0x86,0xA0, 16, 0x01,0x86,0xA0, 0x00,0x30,0x39, 0x00,0x01, 0x01,0x86,0xA1, 0x02, 0xFE, 0, 0x1C,0x20, 0,0},
     {
      "Number of Cylinders                              100,000",
      "Number of Heads                                       16",
      "Starting Cylinder-Write Precompensation          100,000",
      "Starting Cylinder-Reduced Write Current           12,345",
      "Drive Step Rate                                        1",
      "Landing Zone Cylinder                            100,001",
      "Rotational Position Locking                            2  Sync: master",
      "Rotational offset                                     -2",
      "Medium rotation rate                               7,200",
     }},
    {"FlexibleDiskShort",
     {0x05,8, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50},
     {
      "Transfer Rate                                        500kbit/s",
      "Cyl/Sec/Head sector size                     80/18/2 512",
     }},
    {"FlexibleDisk",
     {0x05,30, 0x01,0xF4, 2, 18, 0x02,0x00, 0x00,0x50, 0,0, 0,0, 0,3, 2, 0,15, 10, 30, 0xE0, 0x01, 0, 5, 5, 0x13, 0x41, 0x01,0x2C, 0,0},
     {
      "Transfer Rate                                        500kbit/s",
      "Cyl/Sec/Head sector size                     80/18/2 512",
      "Start Cyl. Write Precompensation                       0",
      "Start Cyl. Reduced Write Current                       0",
      "Device Step Rate                                       3",
      "Device Step Plus Width                                 2",
      "Head Settle Delay                                     15",
      "Motor On Delay                                        10",
      "Motor Off Delay                                       30",
      "Motor ON                                              ON",
      "Start Sector Number                                    1",
      "True Ready                                            ON",
      "Step Plus per Cylinder                                 1",
      "Write Compensation                                     0",
      "Head Load Delay                                        5",
      "Head Unload Delay                                      5",
      "PIN34                                                  1H Ready",
      "PIN4                                                   4H Head load",
      "PIN1                                                   1H Disk Change reset",
      "PIN2                                                   3H",
      "Medium Rotation Rate                                 300",
     }},
    {"Caching",
     {0x08,10, 0x05,0x21,0xFF,0xFF,0x00,0x00,0x00,0x40,0x12,0x34},
     {
      "Write Cache Enable                                    ON",
      "Multiplication Factor                                OFF",
      "Read Cache Disable                                    ON",
      "Demand Read Retention Priority                         2",
      "Write Retention Priority                               1",
      "Disable Pre-fetch Transfer Length                 65,535",
      "Minimum Pre-fetch                                      0",
      "Maximum Pre-fetch                                     64",
      "Maximum Pre-fetch Ceiling                          4,660",
     }},
    {"Peripheral",
     {0x09,12, 0x00,0x06, 0,0,0,0,0,0, 0x41,0x42,0x43,0x44},
     {
      "Interface ID                                        0006H",
      "Vender depended",
      "ADDRESS    +0 +1 +2 +3 +4 +5 +6 +7 - +8 +9 +A +B +C +D +E +F  ----------------",
      "0000-0000  00 00 41 42 43 44       -                          ..ABCD          ",
     }},
    {"Control",
     {0x0A,10, 0xE7,0x52,0xF8,0x87, 0,0, 0x01,0x2C, 0x0E,0x10},
     {
      "Report Log Exception Condition                        ON",
      "Global Logging Target Save Disable                    ON",
      "Descriptor Format Sense Data                          ON",
      "Task Set Type                                          7",
      "Queue Error Managemnt                                  1",
      "Queue Algorithm Modifier                               5",
      "Software Write Protected                              ON",
      "Unit Attention Interlocks control                      3",
      "Report Check                                          ON",
      "Task Aborted Status                                   ON",
      "Autoload Mode                                          7",
      "Application Tag Owner                                 ON",
      "Busy Timeout Period                                 012CH",
      "Extended Self-Test Completion Time                  0E10H",
     }},
    {"ControlWithoutTimes",
     {0x0A,4, 0x00,0x10,0x00,0x00},
     {
      "Report Log Exception Condition                       OFF",
      "Global Logging Target Save Disable                   OFF",
      "Descriptor Format Sense Data                         OFF",
      "Task Set Type                                          0",
      "Queue Error Managemnt                                  0",
      "Queue Algorithm Modifier                               1",
      "Software Write Protected                             OFF",
      "Unit Attention Interlocks control                      0",
      "Report Check                                         OFF",
      "Task Aborted Status                                  OFF",
      "Autoload Mode                                          0",
      "Application Tag Owner                                OFF",
     }},
    {"MediaTypes",
     {0x0B,6, 0,0, 0x10,0x20,0x30,0x40},
     {
      "Media Type 1-4                           10H 20H 30H 40H",
     }},
    {"Notch",
     {0x0C,22, 0xC0,0, 0,8, 0,1, 0,0,0x10,0, 0x00,0x01,0x86,0xA0, 0x00,0x00,0x00,0x00,0x00,0x00,0x01,0x02},
     {
      "Nocthed Device                                        ON",
      "Logical or Physical Notch                        LOGICAL",
      "Maximum Number of Notches                              8",
      "Active Notch                                           1",
      "Starting Boundary                                  4,096",
      "Ending boundary                                  100,000",
      "Pages Notched Parameter                 0000000000000102",
     }},
    {"CdDevice",
     {0x0D,6, 0,0x0B, 0,60, 0,75},
     {
      "Inactivity Timer Multiplier                         2min",
      "MSF# - S Units Per MSF - M Unit                       60",
      "MSF# - F Units Per MSF - S Unit                       75",
     }},
    {"PowerCondition",
     {0x1A,10, 0x03,0, 0,0,0x0B,0xB8, 0x00,0x01,0x86,0xA0},
     {
      "Idle                                                  ON",
      "Standby                                               ON",
      "Idle Timer                                         3,000",
      "Standby Timer                                    100,000",
     }},
    {"CapabilitiesWithoutDescriptors",
     {0x2A,20, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,0,0xFF,0x02,0,0x0B,0x40,0,0x3C,0x15,0x88,0x11,0x60},
     {
      "Read    CD-R                                          ON",
      "        CD-RW                                         ON",
      "        DVD-ROM                                       ON",
      "        DVD-R                                         ON",
      "        DVD-RAM                                       ON",
      "Write   CD-R                                          ON",
      "        CD-R/RW                                       ON",
      "        Test                                          ON",
      "        DVD-R                                         ON",
      "        DVD-RAM                                       ON",
      "Audio Play                                            ON",
      "Composite Audio/Video Data Stream                    OFF",
      "Digital Port (1)                                     OFF",
      "Digital Port (2)                                     OFF",
      "Mode 2 From 1                                         ON",
      "Mode 2 From 2                                         ON",
      "Multi Session                                         ON",
      "Buffer Under-run Free Recording                      OFF",
      "CD-DA Command supported                               ON",
      "CD-DA Stream is Accurate                              ON",
      "Sub-channels R-W Reading Supported                   OFF",
      "R-W Sub-ch De-interleaved & Corrected                OFF",
      "C2 Error Pointers and C2 Block Error                 OFF",
      "International Standard Recording Code                OFF",
      "Media Catalog #(Uniform Product Code)                OFF",
      "Disc Bar Code                                        OFF",
      "Lock                                                  ON",
      "Lock Status                                     UNLOCKED",
      "Prevent/Allow Jumper                                 OFF",
      "Eject                                                 ON",
      "Loading Mechanism Type:      Tray type loading mechanism",
      "Separate Audio Volume Levels                          ON",
      "Separate Audio Channel Mute                           ON",
      "Changer Supports Disc Present                         ON",
      "Software Slot Selection                               ON",
      "Side Change Capable                                  OFF",
      "R through W in Lead-in                                ON",
      "Maximum Read Speed                                 8,544kBps",
      "Number of Volume Levels Supportted                   255",
      "Buffer size Supported                                512KB",
      "Current Read Speed                                 2,880kBps",
      "BCKF                                                 OFF",
      "RCK                                                   ON",
      "LSBF                                                  ON",
      "Word Length                                      24(I2c)",
      "Maximum Write Speed                                5,512kBps",
      "Current Write Speed                                4,448kBps",
     }},
    {"CapabilitiesWithDescriptors",
     {0x2A,42, 0x3B,0x37,0x71,0x03,0x29,0x2F,0x21,0x60,0,0xFF,0x02,0,0x0B,0x40,0,0x3C,0x15,0x88,0x11,0x60, 0,1, 0,0,0,0x01, 0x11,0x60, 0,3, 0,0,0x15,0x88, 0,1,0x11,0x60, 0,2,0x05,0x84},
     {
      "Read    CD-R                                          ON",
      "        CD-RW                                         ON",
      "        DVD-ROM                                       ON",
      "        DVD-R                                         ON",
      "        DVD-RAM                                       ON",
      "Write   CD-R                                          ON",
      "        CD-R/RW                                       ON",
      "        Test                                          ON",
      "        DVD-R                                         ON",
      "        DVD-RAM                                       ON",
      "Audio Play                                            ON",
      "Composite Audio/Video Data Stream                    OFF",
      "Digital Port (1)                                     OFF",
      "Digital Port (2)                                     OFF",
      "Mode 2 From 1                                         ON",
      "Mode 2 From 2                                         ON",
      "Multi Session                                         ON",
      "Buffer Under-run Free Recording                      OFF",
      "CD-DA Command supported                               ON",
      "CD-DA Stream is Accurate                              ON",
      "Sub-channels R-W Reading Supported                   OFF",
      "R-W Sub-ch De-interleaved & Corrected                OFF",
      "C2 Error Pointers and C2 Block Error                 OFF",
      "International Standard Recording Code                OFF",
      "Media Catalog #(Uniform Product Code)                OFF",
      "Disc Bar Code                                        OFF",
      "Lock                                                  ON",
      "Lock Status                                     UNLOCKED",
      "Prevent/Allow Jumper                                 OFF",
      "Eject                                                 ON",
      "Loading Mechanism Type:      Tray type loading mechanism",
      "Separate Audio Volume Levels                          ON",
      "Separate Audio Channel Mute                           ON",
      "Changer Supports Disc Present                         ON",
      "Software Slot Selection                               ON",
      "Side Change Capable                                  OFF",
      "R through W in Lead-in                                ON",
      "Maximum Read Speed                                 8,544kBps",
      "Number of Volume Levels Supportted                   255",
      "Buffer size Supported                                512KB",
      "Current Read Speed                                 2,880kBps",
      "BCKF                                                 OFF",
      "RCK                                                   ON",
      "LSBF                                                  ON",
      "Word Length                                      24(I2c)",
      "Maximum Write Speed                                5,512kBps",
      "Current Write Speed                                4,448kBps",
      "Copy Management Revision Supported                  0001H",
      "Rotation Control Selected                       Pure CAV",
      "Current Write Speed Selected                       4,448",
      "Write Speed Performance Desciptor #                    3",
      "    Block #  1 CLV & Non-pure CAV                  5,512",
      "    Block #  2           Pure CAV                  4,448",
      "    Block #  3                                     1,412",
     }},
};

TEST(DecodeModePage, EveryDecodedPageGivesItsLines) {
  for (const PageCase& c : kPageCases) {
    std::string text;
    EXPECT_EQ(DecodeModePage(text, c.page), 0) << c.name;
    EXPECT_EQ(text, Lines(c.lines)) << c.name;
  }
}

TEST(DecodeModePage, PageShorterThanItsMinimumIsNotDecoded) {
  const struct {
    uint8_t code;
    uint8_t pageLength;  // one below what the decoder needs
  } cases[] = {{0x01, 9},  {0x02, 13}, {0x04, 21}, {0x05, 7},  {0x08, 9},  {0x09, 6},
               {0x0A, 3},  {0x0B, 5},  {0x0C, 21}, {0x0D, 5},  {0x1A, 9},  {0x2A, 19}};
  for (const auto& c : cases) {
    std::vector<uint8_t> page(size_t{c.pageLength} + 2, 0xFF);
    page[0] = c.code;
    page[1] = c.pageLength;
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), -1) << std::hex << int{c.code};
    EXPECT_EQ(text, "") << std::hex << int{c.code};
  }
}

TEST(DecodeModePage, PagesWithoutDecoderAreRefused) {
  for (uint8_t code : {0x00, 0x03, 0x07, 0x0E, 0x2B, 0x3F}) {
    std::vector<uint8_t> page(40, 0);
    page[0] = code;
    page[1] = 38;
    std::string text;
    EXPECT_EQ(DecodeModePage(text, page), -1) << int{code};
    EXPECT_EQ(ModePageTitle(code), nullptr) << int{code};
  }
}

TEST(DecodeCapabilitiesPage, Length21IsRefusedAndLength22Decoded) {
  std::vector<uint8_t> page(21, 0);
  std::string text;
  EXPECT_EQ(DecodeCapabilitiesPage(text, page), -1);
  EXPECT_EQ(text, "");
  page.push_back(0);
  EXPECT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_EQ(text.find("Copy Management"), std::string::npos);
  EXPECT_NE(text.find("Current Write Speed "), std::string::npos);
}

TEST(DecodeCapabilitiesPage, LengthsBetween22And31StopAfterTheWriteSpeeds) {
  for (size_t length = 22; length < 32; ++length) {
    std::vector<uint8_t> page(length, 0);
    std::string text;
    ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0) << length;
    EXPECT_EQ(text.substr(text.size() - 2 - 56 - 4), "Current Write Speed                                    0kBps\r\n")
        << length;
  }
}

TEST(DecodeCapabilitiesPage, DescriptorCountIsCutAtThePageEnd) {
  // The count claims 200 descriptors; the page holds two.
  std::vector<uint8_t> page = test::Placed(40, 30, {0, 200, 0, 0, 0x0B, 0x08, 0, 1, 0x05, 0x84});
  std::string text;
  ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_NE(text.find(Lines({"Write Speed Performance Desciptor #                  200",
                             "    Block #  1 CLV & Non-pure CAV                  2,824",
                             "    Block #  2           Pure CAV                  1,412"})),
            std::string::npos);
  EXPECT_EQ(text.find("Block #  3"), std::string::npos);
}

TEST(DecodeCapabilitiesPage, DescriptorCountOfZeroGivesNoBlockLine) {
  std::vector<uint8_t> page(44, 0);
  std::string text;
  ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
  EXPECT_EQ(text.find("Block #"), std::string::npos);
}

TEST(DecodeCapabilitiesPage, LoadingMechanismNamesEndAtColumn56) {
  const struct {
    uint8_t type;
    const char* line;
  } cases[] = {
      {0, "Loading Mechanism Type:     Caddy type loading mechanism"},
      {4, "Loading Mechanism Type: Changer with individually changeable discs"},
      {5, "Loading Mechanism Type: Changer using a Magazine mechanism"},
      {7, "Loading Mechanism Type:                           Type 7"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> page(22, 0);
    page[6] = static_cast<uint8_t>(c.type << 5);
    std::string text;
    ASSERT_EQ(DecodeCapabilitiesPage(text, page), 0);
    EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << int{c.type};
  }
}

}  // namespace
}  // namespace orv
