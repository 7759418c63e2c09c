// One virtual drive E: as the operations meet it: the record the scan found, the list's one
// DeviceHandle, and the port behind it, through which a test holds E: open "from another program".
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "device/drive_list.h"
#include "device/ports/closed_port.h"
#include "device/ports/virtual_port.h"
#include "vdrive/drive_config.h"

namespace orv::test {

class OperationRig {
 public:
  // A drive of `presetName` whose disc is `image` (created at the preset's size when missing), or in memory.
  explicit OperationRig(const std::string& presetName, const std::filesystem::path& image = {}) {
    std::string error;
    drive_ = image.empty() ? std::shared_ptr<VirtualDrive>(MakeVirtualDrive(*FindDrivePreset(presetName)))
                           : std::shared_ptr<VirtualDrive>(MakeVirtualDrive({'E', presetName, image.string()}, error));
    Attach();
  }
  explicit OperationRig(std::shared_ptr<VirtualDrive> drive) : drive_(std::move(drive)) { Attach(); }

  bool Ready() const { return drive_ && list_->Count() > 0; }
  VirtualDrive& Drive() { return *drive_; }
  std::shared_ptr<VirtualDrive> SharedDrive() const { return drive_; }  // for what may outlive the rig
  DriveList& List() { return *list_; }
  DeviceHandle& Device() { return list_->Device(); }
  DriveRecord& Record() { return const_cast<DriveRecord&>(list_->Records().front()); }
  PortHandle HoldOpen(uint8_t flags) { return port_->Open("\\\\.\\E:", flags); }  // kNoPortHandle: refused

 private:
  void Attach() {
    auto port = std::make_unique<VirtualPort>(MakeClosedPort(MakeOsPort()));
    port_ = port.get();
    if (drive_) port->AddDrive('E', drive_);
    list_ = std::make_unique<DriveList>(std::move(port));
    list_->Scan(nullptr);
  }

  std::shared_ptr<VirtualDrive> drive_;
  VirtualPort* port_ = nullptr;  // owned by the list's device
  std::unique_ptr<DriveList> list_;
};

}  // namespace orv::test
