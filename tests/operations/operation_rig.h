// A drive list over one virtual drive, E:, as the operations meet it: the record found by the
// scan, the one DeviceHandle of the list, and the port behind it, through which a test can hold
// the drive open "from another program" or reach the emulator to inject faults.
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
  // A drive of `presetName` ("dvdram", "hdd", ...) whose disc lives in `image` (created at the
  // preset's size when missing), or in memory when `image` is empty.
  explicit OperationRig(const std::string& presetName, const std::filesystem::path& image = {}) {
    std::string error;
    drive_ = image.empty() ? std::shared_ptr<VirtualDrive>(MakeVirtualDrive(*FindDrivePreset(presetName)))
                           : std::shared_ptr<VirtualDrive>(MakeVirtualDrive({'E', presetName, image.string()}, error));
    Attach();
  }
  // A drive the test made (a disc of a sector length no preset has, say).
  explicit OperationRig(std::shared_ptr<VirtualDrive> drive) : drive_(std::move(drive)) { Attach(); }

  bool Ready() const { return drive_ && list_->Count() > 0; }
  VirtualDrive& Drive() { return *drive_; }
  // For a helper that may outlive the rig (a hook removed in its destructor).
  std::shared_ptr<VirtualDrive> SharedDrive() const { return drive_; }
  DriveList& List() { return *list_; }
  DeviceHandle& Device() { return list_->Device(); }
  DriveRecord& Record() { return const_cast<DriveRecord&>(list_->Records().front()); }
  // Opens E: beside the operation, as another program would; kNoPortHandle when refused.
  PortHandle HoldOpen(uint8_t flags) { return port_->Open("\\\\.\\E:", flags); }
  void Release(PortHandle handle) { port_->Close(handle); }

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
