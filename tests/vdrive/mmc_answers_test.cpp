// The virtual drive's MODE SENSE, GET CONFIGURATION and READ DVD STRUCTURE answers: the CDB
// fields and refusals the report itself never uses (what it does use, every preset's `info`
// golden file shows whole).
#include "vdrive/mmc_answers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/endian.h"
#include "vdrive/drive_config.h"
#include "vdrive/virtual_drive.h"

namespace orv {
namespace {

struct Answer {
  bool good;
  uint8_t senseKey;
  uint8_t asc;
  std::vector<uint8_t> data;  // the bytes moved
};

Answer Send(const char* preset, std::vector<uint8_t> cdb, uint32_t length = 4096) {
  auto drive = MakeVirtualDrive(*FindDrivePreset(preset));
  std::vector<uint8_t> buffer(length, 0);
  const CommandOutcome o = drive->Execute(cdb, DataDirection::kIn, buffer.data(), length);
  buffer.resize(o.transferred);
  return {o.status == kScsiStatusGood, static_cast<uint8_t>(o.sense[2] & 0x0F), o.sense[12], buffer};
}

std::vector<uint8_t> ModeSense10(uint8_t dbd, uint8_t pageControl, uint8_t page) {
  return {0x5A, static_cast<uint8_t>(dbd << 3), static_cast<uint8_t>(pageControl << 6 | page), 0, 0, 0, 0, 0x10, 0x00, 0};
}

// The feature codes of a GET CONFIGURATION answer of requested type `rt` from `start`.
std::vector<uint16_t> FeatureCodes(uint8_t rt, uint16_t start) {
  const Answer a = Send("dvdram", {0x46, rt, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), 0, 0, 0,
                                   0x10, 0x00, 0});
  std::vector<uint16_t> codes;
  for (size_t p = 8; p + 4 <= a.data.size(); p += 4 + a.data[p + 3]) codes.push_back(GetBe16(&a.data[p]));
  return codes;
}

TEST(MmcAnswers, ModeSenseSelectsPagesAndValues) {
  const Answer single = Send("dvdram", ModeSense10(1, 0, 0x2A));
  ASSERT_TRUE(single.good);
  EXPECT_EQ(single.data.size(), 8u + 44u);
  EXPECT_EQ(single.data[8], 0x2A);

  // Changeable values: nothing can be changed.
  const Answer changeable = Send("dvdram", ModeSense10(1, 1, 0x01));
  EXPECT_EQ(std::vector<uint8_t>(changeable.data.begin() + 8, changeable.data.end()),
            (std::vector<uint8_t>{0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  const Answer withDescriptor = Send("dvdram", ModeSense10(0, 0, 0x01));
  EXPECT_EQ(GetBe16(&withDescriptor.data[6]), 8u);
  EXPECT_EQ(GetBe24(&withDescriptor.data[13]), 2048u);

  EXPECT_EQ(Send("dvdram", ModeSense10(1, 3, 0x3F)).asc, 0x39);  // saved values: not supported
  EXPECT_EQ(Send("dvdram", ModeSense10(1, 0, 0x05)).asc, 0x24);  // a page it does not have
  const Answer saved = Send("hdd", {0x1A, 0x08, 0xC4, 0, 255, 0}, 255);
  ASSERT_TRUE(saved.good);
  EXPECT_EQ(saved.data[12], 0x84);
}

TEST(MmcAnswers, GetConfigurationRequestedTypes) {
  // 1: the current features from the starting one; 2: that one feature only; 3 is invalid.
  EXPECT_EQ(FeatureCodes(1, 0x0010), (std::vector<uint16_t>{0x0010, 0x001F, 0x0020, 0x0023, 0x0024, 0x0100, 0x0104,
                                                            0x0105, 0x0106, 0x0107, 0x0108}));
  EXPECT_EQ(FeatureCodes(2, 0x0020), (std::vector<uint16_t>{0x0020}));
  EXPECT_EQ(FeatureCodes(2, 0x0033), (std::vector<uint16_t>{}));
  EXPECT_FALSE(Send("dvdram", {0x46, 3, 0, 0, 0, 0, 0, 0x10, 0x00, 0}).good);
}

TEST(MmcAnswers, ReadDvdStructureRefusals) {
  const auto structure = [](uint8_t layer, uint8_t format) {
    return std::vector<uint8_t>{0xAD, 0, 0, 0, 0, 0, layer, format, 0x10, 0x00, 0, 0};
  };
  EXPECT_EQ(Send("dvdrom", structure(0, 0x02)).asc, 0x6F);  // the key needs authentication
  EXPECT_EQ(Send("dvdrom", structure(1, 0x02)).asc, 0x24);
  EXPECT_EQ(Send("dvdrom", structure(0, 0x00), 100).data.size(), 100u);  // the allocation length holds
  const Answer notReady = Send("nodisc", structure(0, 0xFF));
  EXPECT_FALSE(notReady.good);
  EXPECT_EQ(notReady.senseKey, kSenseNotReady);
  EXPECT_EQ(notReady.asc, 0x3A);
}

}  // namespace
}  // namespace orv
