// Opening the drive an operation is about to write. It is opened exclusively first, so that no
// other program reads or writes it while sectors change under it; only when that fails (another
// program has it open, or on Linux a file system of it is mounted) is the user asked whether to
// share it, with a warning that what others do may then affect what is written.
#pragma once

#include "device/drive_list.h"
#include "toolkit/ui.h"

namespace orv {

inline constexpr char kErrorCaption[] = "エラー";
inline constexpr char kSharedModeQuestion[] =
    "書き込み先のデバイスを開くことができません。\r\n他のアプリケーションで使用中の可能性があります。\r\n\r\n"
    "共有モードでデバイスを開きますかか？\r\n";
inline constexpr char kSharedModeNote[] =
    "※ 共有モードでは、他のアプリケーションの動作が\r\n　 書き込み内容に影響を及ぼすことがあります。";
inline constexpr char kTargetCannotOpen[] = "書き込み先のデバイスを開くことができません。\r\n";
// Titled "エラー" with the stop icon: the drive reports its medium write-protected.
inline constexpr char kTargetWriteProtected[] =
    "書き込み先のディスクは書き込み禁止になっています。\r\n何も書き込んでいません。";

// Closes whatever `device` holds and opens the record's path for reading and writing without
// sharing (0x03). When that fails, asks the shared-mode question (Yes/No, stop icon, titled
// "エラー"); Yes opens it shared (0x33). 0 with the device open. -1 with the device closed when
// the user did not answer Yes (nothing more is shown) or the shared open failed too (then the
// box kTargetCannotOpen has been shown).
// Once open, a medium the drive reports write-protected is refused before anything is written:
// the box kTargetWriteProtected, the device closed, -1 and `*writeProtected` (when given) true.
int OpenWriteTarget(Ui& ui, DeviceHandle& device, const DriveRecord& record, bool* writeProtected = nullptr);

// Whether the drive reports the medium write-protected: the WP bit (bit 7) of the mode parameter
// header's device-specific parameter (SBC; MMC drives that leave it 0 refuse the first WRITE
// instead). False when the drive does not answer MODE SENSE.
bool MediumWriteProtected(DeviceHandle& device, const DriveRecord& record);

}  // namespace orv
