// The texts of the image write, as the user reads them. Boxes of the checks before anything is
// written are titled kErrorCaption ("エラー", write_target.h) with the stop icon.
#pragma once

namespace orv {

// The image-file choice of the main window's "イメージ書込" command.
inline constexpr char kImageFileChoiceTitle[] = "イメージファイルの指定";
inline constexpr char kImageFileDefaultExtension[] = "*.iso";

// The checks before the confirmation.
inline constexpr char kFileCannotOpen[] = "ファイルを開くことができません。";
inline constexpr char kFileSizeUnknown[] = "ファイルサイズを取得できませんでした。";
inline constexpr char kImageInfoFailed[] = "イメージ情報の取得に失敗しました。";
inline constexpr char kTargetNotReady[] = "書き込み先の準備ができていません。";
inline constexpr char kTargetTooSmall[] = "書き込み先の容量が不足しています。\r\n\r\n\r\n";
// A container block of other sectors than the disc's would land at wrong byte offsets.
inline constexpr char kSectorSizeMismatch[] =
    "イメージのセクタ サイズ (%u バイト) が、\r\n書き込み先のセクタ サイズ (%u バイト) と異なります。";
inline constexpr char kImageCannotOpen[] = "イメージファイルを開くことができません。";
// A file of another name that starts as a container does but is not a whole one: written raw,
// its headers and compressed bytes would land on the disc from sector 0 on.
inline constexpr char kContainerByContentDamaged[] =
    "ファイルの先頭はイメージ ブロックですが、イメージ情報の取得に失敗しました。\r\n"
    "このファイルは書き込みません。";
// Added below kImageInfoFailed when the file is a whole-disc backup whose map says it stopped:
// the file is not damaged, only not finished.
inline constexpr char kUnfinishedBackupNote[] =
    "※ このファイルは途中で止まったディスクのバックアップです。\r\n"
    "　 バックアップを再開して完了させてから書き込んでください。";
// A raw file of 0 bytes, or blocks that hold no data.
inline constexpr char kImageEmpty[] = "イメージに書き込むデータがありません。";
// Two blocks (numbered in file order from 1) that share a sector: which one the disc would keep
// depends on the file's order.
inline constexpr char kBlocksOverlap[] =
    "イメージの次のブロックが同じセクタに重なっています。\r\n"
    "    ブロック %u: セクタ %I64u から %I64u セクタ\r\n"
    "    ブロック %u: セクタ %I64u から %I64u セクタ";

// The confirmation: identification, then the file's path.
inline constexpr char kConfirmCaption[] = "確認";
inline constexpr char kConfirmQuestion[] = "%s\r\n\r\nファイル: %s\r\n\r\n書き込みを開始しますか？";
inline constexpr char kConfirmNote[] = "※ 書き込み先のディスクは、指定ファイルで上書きされ元には戻りません。";
// Added below kConfirmNote when a file not named ".ovi" is written as a container.
inline constexpr char kConfirmContainerNote[] =
    "※ このファイルはイメージ ブロック形式のため、各ブロックをヘッダのセクタへ書き込みます。";

// The progress box and its status line: sectors done, sectors to write, percent, remaining time.
inline constexpr char kWritingMessage[] = "書き込み処理中...";
inline constexpr char kWriteStatus[] = "%I64u/%I64u (%u%%)%s";
inline constexpr char kVerifyStatus[] = "ベリファイ %I64u/%I64u (%u%%)%s";
inline constexpr char kRemainingMinutes[] = " - 残り%u分";
inline constexpr char kRemainingMinutesSeconds[] = " - 残り%u分%02u秒";
inline constexpr char kRemainingSeconds[] = " - 残り%u秒";

// Failures while writing.
inline constexpr char kFileReadFailed[] = "ファイルの読み取りに失敗しました。";
inline constexpr char kDataWriteFailed[] = "データの書き込みに失敗しました。\r\n    %s";
inline constexpr char kInterrupted[] = "処理を中断しました。";
// Blocks whose data did not come out whole and with its CRC: their sectors hold what the
// decoder delivered, which is not what the image holds.
inline constexpr char kBadBlocksHead[] =
    "イメージの次のブロックが壊れているため、正しく書き込まれていません。\r\n";
inline constexpr char kBadBlockLine[] = "    セクタ %I64u から %I64u セクタ\r\n";
inline constexpr char kBadBlocksMore[] = "    ほか %u ブロック\r\n";

// The read-back after the write (the console's --verify).
inline constexpr char kVerifyReadFailed[] = "ベリファイのためのデータの読み取りに失敗しました。\r\n    %s";
inline constexpr char kVerifyMismatch[] =
    "書き込んだ内容がイメージと一致しません。\r\n    最初に異なるセクタ: %I64u";

// The final box, titled kAppTitle.
inline constexpr char kWriteCompleted[] = "書き込み完了しました。\r\n\r\n所要時間：%s\r\n";
inline constexpr char kElapsedMinutesSeconds[] = "%u分%u秒";
inline constexpr char kElapsedSeconds[] = "%u秒";
inline constexpr char kFinalNote[] =
    "※ いったんディスクを取り出すか再起動しないと、\r\n　 書き込み内容が正しく表示されないことがあります。";

}  // namespace orv
