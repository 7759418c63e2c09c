#include "vdrive/mmc_answers.h"

#include <algorithm>

#include "scsi/opcodes.h"
#include "toolkit/endian.h"
#include "vdrive/virtual_drive.h"

namespace orv {
namespace {

constexpr uint8_t kAllPages = 0x3F;
constexpr uint8_t kStructureList = 0xFF;

void Append(std::vector<uint8_t>& to, std::span<const uint8_t> bytes) {
  const size_t at = to.size();
  to.resize(at + bytes.size());
  std::copy(bytes.begin(), bytes.end(), to.begin() + static_cast<std::ptrdiff_t>(at));
}

// ---- MODE SENSE ----

// The pages asked for by page control and page code, or false when the drive has none.
bool SelectPages(const MmcContent& content, uint8_t pageControl, uint8_t pageCode, std::vector<uint8_t>& pages) {
  for (const std::vector<uint8_t>& page : content.modePages) {
    if (page.size() < 2) continue;
    if (pageCode != kAllPages && (page[0] & 0x3F) != pageCode) continue;
    if (pageControl == 1) {
      // Changeable values: the same page with no bit that can be changed.
      std::vector<uint8_t> mask(page.size(), 0);
      mask[0] = page[0];
      mask[1] = page[1];
      Append(pages, mask);
    } else {
      Append(pages, page);
    }
    if (pageCode != kAllPages) return true;
  }
  return pageCode == kAllPages;
}

void ModeSense(const MmcContent& content, VirtualDrive& drive, CommandContext& c) {
  const bool tenByte = c.Opcode() == scsi_op::kModeSense10;
  if (c.cdb.size() < (tenByte ? 10u : 6u)) return c.Fail(kSenseInvalidFieldInCdb);
  if (!tenByte && !content.modeSense6) return c.Fail(kSenseInvalidOpcode);
  const bool dbd = (c.cdb[1] & 0x08) != 0;
  const uint8_t pageControl = c.cdb[2] >> 6;
  const uint8_t pageCode = c.cdb[2] & 0x3F;
  const uint32_t allocation = tenByte ? GetBe16(&c.cdb[7]) : c.cdb[4];
  if (c.cdb[3] != 0) return c.Fail(kSenseInvalidFieldInCdb);  // subpages: none
  if (pageControl == 3 && !content.savedPages) return c.Fail(kSenseSavingNotSupported);

  const size_t headerLength = tenByte ? 8 : 4;
  std::vector<uint8_t> answer(headerLength, 0);
  if (!tenByte && content.modeSense6EmptyFirstPage) {
    // The quirk some drives show behind some adapters: a mode data length that promises pages
    // and nothing but zeros after the header.
    answer.assign(32, 0);
    answer[0] = 31;
    return void(c.SendData(answer, allocation));
  }

  std::vector<uint8_t> blockDescriptor;
  Medium* medium = drive.GetMedium();
  if ((!dbd || content.blockDescriptorDespiteDbd) && medium != nullptr) {
    blockDescriptor.assign(8, 0);
    PutBe24(&blockDescriptor[1], static_cast<uint32_t>(std::min<uint64_t>(medium->BlockCount(), 0xFFFFFF)));
    PutBe24(&blockDescriptor[5], medium->BlockLength());
  }
  std::vector<uint8_t> pages;
  if (!SelectPages(content, pageControl, pageCode, pages)) return c.Fail(kSenseInvalidFieldInCdb);
  Append(answer, blockDescriptor);
  Append(answer, pages);

  const uint8_t deviceSpecific =
      static_cast<uint8_t>(content.deviceSpecific | (medium != nullptr && medium->ReadOnly() ? 0x80 : 0));
  if (tenByte) {
    PutBe16(&answer[0], static_cast<uint16_t>(std::min<size_t>(answer.size() - 2, 0xFFFF)));
    answer[3] = deviceSpecific;
    PutBe16(&answer[6], static_cast<uint16_t>(blockDescriptor.size()));
  } else {
    // The six-byte header counts at most 255 bytes; a drive with more pages answers the first
    // 256 bytes of them.
    answer.resize(std::min<size_t>(answer.size(), 256));
    answer[0] = static_cast<uint8_t>(answer.size() - 1);
    answer[2] = deviceSpecific;
    answer[3] = static_cast<uint8_t>(blockDescriptor.size());
  }
  c.SendData(answer, allocation);
}

// ---- GET CONFIGURATION ----

std::vector<uint8_t> FeatureDescriptor(uint16_t code, uint8_t version, bool persistent, bool current,
                                       std::span<const uint8_t> data) {
  std::vector<uint8_t> d(4, 0);
  PutBe16(&d[0], code);
  d[2] = static_cast<uint8_t>(version << 2 | (persistent ? 2 : 0) | (current ? 1 : 0));
  d[3] = static_cast<uint8_t>(data.size());
  Append(d, data);
  return d;
}

void GetConfiguration(const MmcContent& content, VirtualDrive& drive, CommandContext& c) {
  if (c.cdb.size() < 10) return c.Fail(kSenseInvalidFieldInCdb);
  const uint8_t requestedType = c.cdb[1] & 0x03;
  const uint16_t start = GetBe16(&c.cdb[2]);
  const uint32_t allocation = GetBe16(&c.cdb[7]);
  if (requestedType == 3) return c.Fail(kSenseInvalidFieldInCdb);
  const bool loaded = drive.HasMedium();
  const uint16_t currentProfile = loaded ? content.currentProfile : 0;

  // Every feature in code order, with its current bit as things stand.
  struct Entry {
    uint16_t code;
    bool current;
    std::vector<uint8_t> bytes;
  };
  std::vector<Entry> entries;
  if (!content.profiles.empty()) {
    std::vector<uint8_t> list;
    for (uint16_t profile : content.profiles) {
      const uint8_t p[4] = {static_cast<uint8_t>(profile >> 8), static_cast<uint8_t>(profile),
                            static_cast<uint8_t>(profile == currentProfile && loaded ? 1 : 0), 0};
      Append(list, p);
    }
    entries.push_back({0x0000, true, FeatureDescriptor(0x0000, 0, true, true, list)});
  }
  for (const VirtualFeature& f : content.features) {
    const bool current = f.persistent || (f.current && loaded);
    entries.push_back({f.code, current, FeatureDescriptor(f.code, f.version, f.persistent, current, f.data)});
  }

  std::vector<uint8_t> answer(8, 0);
  PutBe16(&answer[6], currentProfile);
  for (const Entry& e : entries) {
    const bool wanted = requestedType == 2 ? e.code == start : e.code >= start && (requestedType == 0 || e.current);
    if (wanted) Append(answer, e.bytes);
  }
  PutBe32(&answer[0], static_cast<uint32_t>(answer.size() - 4));
  c.SendData(answer, allocation);
}

// ---- READ DVD STRUCTURE ----

std::vector<uint8_t> StructureAnswer(std::span<const uint8_t> data) {
  std::vector<uint8_t> answer(4, 0);
  PutBe16(&answer[0], static_cast<uint16_t>(std::min<size_t>(data.size() + 2, 0xFFFF)));
  Append(answer, data);
  return answer;
}

void ReadDvdStructure(const MmcContent& content, VirtualDrive& drive, CommandContext& c) {
  if (c.cdb.size() < 12) return c.Fail(kSenseInvalidFieldInCdb);
  const uint8_t layer = c.cdb[6];
  const uint8_t format = c.cdb[7];
  const uint32_t allocation = GetBe16(&c.cdb[8]);
  if (!drive.HasMedium()) return c.Fail(kSenseMediumNotPresent);

  if (format == kStructureList) {
    // Layer 0's structures, each readable (RDS), then the list itself.
    std::vector<uint8_t> list;
    for (const VirtualDvdStructure& s : content.structures) {
      if (s.layer != 0) continue;
      const uint8_t entry[4] = {s.format, 0x40, static_cast<uint8_t>(s.data.size() >> 8),
                                static_cast<uint8_t>(s.data.size())};
      Append(list, entry);
    }
    const uint16_t listLength = static_cast<uint16_t>(list.size() + 4);
    const uint8_t self[4] = {kStructureList, 0x40, static_cast<uint8_t>(listLength >> 8),
                             static_cast<uint8_t>(listLength)};
    Append(list, self);
    c.SendData(StructureAnswer(list), allocation);
    return;
  }
  for (const VirtualDvdStructure& s : content.structures) {
    if (s.layer != layer || s.format != format) continue;
    if (s.needsAuthentication) return c.Fail(kSenseKeyNotEstablished);
    c.SendData(StructureAnswer(s.data), allocation);
    return;
  }
  c.Fail(kSenseInvalidFieldInCdb);
}

}  // namespace

void InstallMmcAnswers(VirtualDrive& drive, std::shared_ptr<const MmcContent> content) {
  drive.SetHandler(scsi_op::kModeSense6, [content](VirtualDrive& d, CommandContext& c) { ModeSense(*content, d, c); });
  drive.SetHandler(scsi_op::kModeSense10, [content](VirtualDrive& d, CommandContext& c) { ModeSense(*content, d, c); });
  CommandHandler configuration;
  if (content->configuration) {
    configuration = [content](VirtualDrive& d, CommandContext& c) { GetConfiguration(*content, d, c); };
  }
  drive.SetHandler(scsi_op::kGetConfiguration, configuration);
  CommandHandler structures;
  if (content->dvdStructures) {
    structures = [content](VirtualDrive& d, CommandContext& c) { ReadDvdStructure(*content, d, c); };
  }
  drive.SetHandler(scsi_op::kReadDvdStructure, structures);
}

void InstallMmcAnswers(VirtualDrive& drive) {
  InstallMmcAnswers(drive, std::make_shared<const MmcContent>(MmcContentFor(drive.Preset())));
}

}  // namespace orv
