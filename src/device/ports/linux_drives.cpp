#include "device/ports/linux_drives.h"

#include <algorithm>
#include <fstream>

namespace orv {

namespace {

// sda < sdb < ... < sdz < sdaa: shorter names first, as the kernel assigns them.
bool KernelOrder(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> NamesWithPrefix(const std::filesystem::path& sysBlock, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(sysBlock, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), KernelOrder);
  return names;
}

int ReadSysfsNumber(const std::filesystem::path& file) {
  std::ifstream in(file);
  int value = -1;
  if (!(in >> value)) return -1;
  return value;
}

}  // namespace

std::vector<LinuxDrive> ListLinuxDrives(const std::filesystem::path& sysBlock, const std::string& devDir) {
  std::vector<LinuxDrive> drives;
  char letter = 'C';
  for (const char* prefix : {"sd", "sr"}) {
    for (const std::string& name : NamesWithPrefix(sysBlock, prefix)) {
      if (letter > 'Z') return drives;
      drives.push_back(LinuxDrive{letter++, name, devDir + "/" + name});
    }
  }
  return drives;
}

uint32_t LinuxDriveType(const std::filesystem::path& sysBlock, const std::string& name) {
  const std::filesystem::path dir = sysBlock / name;
  std::error_code ec;
  if (!std::filesystem::exists(dir, ec)) return kDriveNoRootDir;
  if (ReadSysfsNumber(dir / "device" / "type") == 5) return kDriveCdrom;
  if (ReadSysfsNumber(dir / "removable") == 1) return kDriveRemovable;
  return kDriveFixed;
}

}  // namespace orv
