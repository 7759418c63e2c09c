// The virtual drive's MODE SENSE, GET CONFIGURATION and READ DVD STRUCTURE answers, command by
// command, as a real drive gives them: what each CDB field selects and how refusals look.
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

Answer Send(VirtualDrive& drive, std::vector<uint8_t> cdb, uint32_t length = 4096) {
  std::vector<uint8_t> buffer(length, 0);
  const CommandOutcome o = drive.Execute(cdb, DataDirection::kIn, buffer.data(), length);
  buffer.resize(o.transferred);
  return {o.status == kStatusGood, static_cast<uint8_t>(o.sense[2] & 0x0F), o.sense[12], buffer};
}

std::vector<uint8_t> ModeSense10(uint8_t dbd, uint8_t pageControl, uint8_t page) {
  return {0x5A, static_cast<uint8_t>(dbd << 3), static_cast<uint8_t>(pageControl << 6 | page), 0, 0, 0, 0, 0x10, 0x00, 0};
}
std::vector<uint8_t> GetConfiguration(uint8_t rt, uint16_t start) {
  return {0x46, rt, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), 0, 0, 0, 0x10, 0x00, 0};
}
std::vector<uint8_t> ReadDvdStructure(uint8_t layer, uint8_t format) {
  return {0xAD, 0, 0, 0, 0, 0, layer, format, 0x10, 0x00, 0, 0};
}

// The feature codes of a GET CONFIGURATION answer, in order.
std::vector<uint16_t> FeatureCodes(const std::vector<uint8_t>& answer) {
  std::vector<uint16_t> codes;
  for (size_t p = 8; p + 4 <= answer.size(); p += 4 + answer[p + 3]) codes.push_back(GetBe16(&answer[p]));
  return codes;
}

TEST(MmcAnswers, ModeSenseSelectsPagesAndValues) {
  auto dvdram = MakeVirtualDrive(*FindDrivePreset("dvdram"));
  const Answer all = Send(*dvdram, ModeSense10(1, 0, 0x3F));
  ASSERT_TRUE(all.good);
  EXPECT_EQ(GetBe16(all.data.data()), all.data.size() - 2);
  EXPECT_EQ(GetBe16(&all.data[6]), 0u);  // DBD: no block descriptor

  const Answer single = Send(*dvdram, ModeSense10(1, 0, 0x2A));
  ASSERT_TRUE(single.good);
  EXPECT_EQ(single.data.size(), 8u + 44u);
  EXPECT_EQ(single.data[8], 0x2A);

  const Answer changeable = Send(*dvdram, ModeSense10(1, 1, 0x01));
  ASSERT_TRUE(changeable.good);
  EXPECT_EQ(std::vector<uint8_t>(changeable.data.begin() + 8, changeable.data.end()),
            (std::vector<uint8_t>{0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  const Answer withDescriptor = Send(*dvdram, ModeSense10(0, 0, 0x01));
  ASSERT_TRUE(withDescriptor.good);
  EXPECT_EQ(GetBe16(&withDescriptor.data[6]), 8u);
  EXPECT_EQ(GetBe24(&withDescriptor.data[13]), 2048u);

  EXPECT_FALSE(Send(*dvdram, ModeSense10(1, 3, 0x3F)).good);  // saved values: not supported
  EXPECT_EQ(Send(*dvdram, ModeSense10(1, 3, 0x3F)).asc, 0x39);
  EXPECT_EQ(Send(*dvdram, ModeSense10(1, 0, 0x05)).asc, 0x24);  // a page it does not have

  auto hdd = MakeVirtualDrive(*FindDrivePreset("hdd"));
  const Answer saved = Send(*hdd, {0x1A, 0x08, 0xC4, 0, 255, 0}, 255);
  ASSERT_TRUE(saved.good);
  EXPECT_EQ(saved.data[3], 8u);  // the disk returns its block descriptor despite DBD
  EXPECT_EQ(saved.data[12], 0x84);
  EXPECT_EQ(saved.data[2], 0x10);  // DPO and FUA
}

TEST(MmcAnswers, GetConfigurationRequestedTypes) {
  auto dvdram = MakeVirtualDrive(*FindDrivePreset("dvdram"));
  const Answer all = Send(*dvdram, GetConfiguration(0, 0));
  ASSERT_TRUE(all.good);
  EXPECT_EQ(GetBe32(all.data.data()), all.data.size() - 4);
  EXPECT_EQ(GetBe16(&all.data[6]), 0x0012u);
  EXPECT_EQ(FeatureCodes(all.data).size(), 17u);

  const std::vector<uint16_t> current = FeatureCodes(Send(*dvdram, GetConfiguration(1, 0x0010)).data);
  EXPECT_EQ(current, (std::vector<uint16_t>{0x0010, 0x001F, 0x0020, 0x0023, 0x0024, 0x0100, 0x0104, 0x0105, 0x0106,
                                            0x0107, 0x0108}));
  EXPECT_EQ(FeatureCodes(Send(*dvdram, GetConfiguration(2, 0x0020)).data), (std::vector<uint16_t>{0x0020}));
  EXPECT_EQ(FeatureCodes(Send(*dvdram, GetConfiguration(2, 0x0033)).data), (std::vector<uint16_t>{}));
  EXPECT_FALSE(Send(*dvdram, GetConfiguration(3, 0)).good);

  auto nodisc = MakeVirtualDrive(*FindDrivePreset("nodisc"));
  const Answer empty = Send(*nodisc, GetConfiguration(0, 0));
  ASSERT_TRUE(empty.good);
  EXPECT_EQ(GetBe16(&empty.data[6]), 0u);
  EXPECT_EQ(empty.data[8 + 4 + 2], 0u);  // no profile is current

  auto hdd = MakeVirtualDrive(*FindDrivePreset("hdd"));
  EXPECT_EQ(Send(*hdd, GetConfiguration(0, 0)).asc, 0x20);  // invalid command
}

TEST(MmcAnswers, ReadDvdStructureListsAndRefuses) {
  auto dvdrom = MakeVirtualDrive(*FindDrivePreset("dvdrom"));
  const Answer list = Send(*dvdrom, ReadDvdStructure(0, 0xFF));
  ASSERT_TRUE(list.good);
  std::vector<uint8_t> formats;
  for (size_t p = 4; p + 4 <= list.data.size(); p += 4) formats.push_back(list.data[p]);
  EXPECT_EQ(formats, (std::vector<uint8_t>{0x00, 0x01, 0x02, 0x04, 0xFF}));

  const Answer layerOne = Send(*dvdrom, ReadDvdStructure(1, 0x00));
  ASSERT_TRUE(layerOne.good);
  EXPECT_EQ(GetBe16(layerOne.data.data()), 2050u);
  EXPECT_EQ(Send(*dvdrom, ReadDvdStructure(0, 0x02)).asc, 0x6F);  // the key needs authentication
  EXPECT_EQ(Send(*dvdrom, ReadDvdStructure(1, 0x02)).asc, 0x24);
  EXPECT_EQ(Send(*dvdrom, ReadDvdStructure(0, 0x00), 100).data.size(), 100u);  // the allocation length holds

  auto nodisc = MakeVirtualDrive(*FindDrivePreset("nodisc"));
  const Answer notReady = Send(*nodisc, ReadDvdStructure(0, 0xFF));
  EXPECT_FALSE(notReady.good);
  EXPECT_EQ(notReady.senseKey, kSenseNotReady);
  EXPECT_EQ(notReady.asc, 0x3A);
}

}  // namespace
}  // namespace orv
