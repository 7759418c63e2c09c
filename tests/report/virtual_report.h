// A report gathered from a virtual drive through the whole device path (handle, command set, virtual port).
#pragma once

#include <memory>

#include "device/adapter_inquiry.h"
#include "device/device_handle.h"
#include "device/ports/virtual_port.h"
#include "device/scsi_commands.h"
#include "report/build_report.h"
#include "vdrive/drive_config.h"
#include "vdrive/mmc_answers.h"

namespace orv::test {

class VirtualReport {
 public:
  explicit VirtualReport(const char* presetName) : drive_(MakeVirtualDrive(*FindDrivePreset(presetName))) {
    auto port = std::make_unique<VirtualPort>(MakeOsPort());
    port->AddDrive('E', drive_);
    device_ = std::make_unique<DeviceHandle>(std::move(port));
  }

  VirtualDrive& Drive() { return *drive_; }
  DeviceHandle& Device() { return *device_; }

  // The preset's MODE SENSE, GET CONFIGURATION and READ DVD STRUCTURE content, changed by `edit`.
  void EditContent(void (*edit)(MmcContent&)) {
    MmcContent content = MmcContentFor(drive_->Preset());
    edit(content);
    InstallMmcAnswers(*drive_, std::make_shared<const MmcContent>(content));
  }

  // The drive's record as the scan makes it: identification and capacity. Leaves the drive open.
  DriveRecord Record() {
    DriveRecord record;
    record.name = "E:";
    record.path = "\\\\.\\E:";
    device_->Close();
    if (device_->Open(record.path.c_str(), kOpenSharedReadWrite) != 0) return record;
    if (InquiryUnit(*device_, {}, record.unit) != 0) return record;
    if (ReadCapacity(*device_, {}, 8, record.capacity.data()) != 0) record.capacity.fill(0);
    return record;
  }

  // Opens the drive, reads its identification and capacity as the scan does, and gathers.
  int Build(DriveReport& report) {
    const DriveRecord record = Record();
    return record.unit.inquiryData.empty() ? -2 : BuildDriveReport(report, *device_, record);
  }

 private:
  std::shared_ptr<VirtualDrive> drive_;
  std::unique_ptr<DeviceHandle> device_;
};

}  // namespace orv::test
