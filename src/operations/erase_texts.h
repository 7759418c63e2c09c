// What the erase says: its questions, notes, titles and failure texts, exactly as the user reads
// them. The boxes are captioned with kAppTitle unless a text says otherwise.
#pragma once

#include "toolkit/ui.h"

namespace orv {

// The first question (Yes, No, Cancel) and its note. The note's "(*.img)" is how the program has
// always worded it, although the backup it writes is an .ovi file.
inline constexpr char kEraseSaveQuestion[] =
    "消去内容をファイルに保存しますか？\r\n\r\n消去内容をファイルに保存しておくと、消去した直後であれば\r\n"
    "内容を元に戻すことができます。";
inline constexpr char kEraseSaveNote[] =
    "※ 消去した内容を元に戻す場合、保存したファイル(*.img)を\r\n　 [イメージ書込]を使って、ディスクに書き込みしてください。";

// The backup's save choice: its title, the proposed name (local time: year, month, day, hour,
// minute, second, then the extension), and the filters.
inline constexpr char kEraseBackupTitle[] = "消去情報の保存";
inline constexpr char kEraseBackupNameFormat[] = "orv-unformat-%04u-%02u%02u-%02u%02u%02u%s";
inline constexpr char kEraseBackupExtension[] = ".ovi";
inline constexpr char kEraseBackupFilterImages[] = "イメージファイル(*.ovi)";
inline constexpr char kEraseBackupFilterAll[] = "すべて";

// Titled "エラー" with the stop icon, after the drive opened with a capacity of 0.
inline constexpr char kEraseNotReady[] = "デバイスの準備ができていません。";

// The confirmation (Yes, No, 400 pixels) and the progress box, with the identification text.
inline constexpr char kEraseConfirmFormat[] = "%s\r\n\r\n本当に消去しますか？";
inline constexpr char kEraseProgressFormat[] = "%s\r\n\r\nディスクを消去しています。";

// The final box (400 pixels): the success text with OK, or a failure text with the stop icon;
// the note under either.
inline constexpr char kEraseCompleted[] = "消去完了しました。";
inline constexpr char kEraseDoneNote[] =
    "※ いったんディスクを取り出すか再起動しないと、\r\n　 内容が正しく表示されないことがあります。";
inline constexpr int kEraseBoxWidth = 400;

// Failure texts of the backup. kEraseBackupCannotOpen takes the chosen path, kEraseReadFailed the
// reason the drive or the system gave.
inline constexpr char kEraseBackupCannotOpen[] = "ファイルを開くことができません。\r\n  %s";
inline constexpr char kEraseBlockOpenFailed[] = "イメージ ブロックのオープンに失敗しました。";
inline constexpr char kEraseReadFailed[] = "データの読み取りに失敗しました。\r\n    %s";
inline constexpr char kEraseBackupFailed[] = "消去内容の保存に失敗しました。";
inline constexpr char kEraseBlockCloseFailed[] = "イメージ ブロックのクローズに失敗しました。";
// The failure of a zero write, with the reason (the program's wording, without "に").
inline constexpr char kEraseWriteFailed[] = "データの書き込み失敗しました。\r\n    %s";
// A stop asked for (the progress box closed, Ctrl-C) before the first zero was written.
inline constexpr char kEraseInterrupted[] = "処理を中断しました。";
// A file operation's failure text is followed by the system's reason on a line of its own.
inline constexpr char kEraseReasonLine[] = "\r\n    %s";

// The backup path refused before the drive is opened: the reason, then the path chosen and the
// drive (with the file that holds its disc, for a virtual drive). Titled "エラー", stop icon.
inline constexpr char kEraseBackupRefusedFormat[] = "%s\r\n\r\n保存先: %s\r\n消去するドライブ: %s";
inline constexpr char kEraseBackupIsDisc[] = "保存先は、消去するディスクのイメージ ファイルそのものです。";
inline constexpr char kEraseBackupIsDevice[] = "保存先はファイルではなく、デバイスです。";
inline constexpr char kEraseBackupIsFolder[] = "保存先はファイルではなく、フォルダです。";
inline constexpr char kEraseBackupNotAFile[] = "保存先は通常のファイルではありません。";
inline constexpr char kEraseBackupRefusedNote[] = "※ ディスクは読み書きしていません。";

// The progress box's status line, per sector: the pass and "n/m" of its sectors.
inline constexpr char kEraseStatusFormat[] = "%s %I64u/%I64u";
inline constexpr char kEraseStatusBackup[] = "保存";
inline constexpr char kEraseStatusCheck[] = "確認";
inline constexpr char kEraseStatusZero[] = "消去";

}  // namespace orv
