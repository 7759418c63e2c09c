// The texts of the whole-disc backup and of the comparison as the window user reads them. Boxes
// are captioned with kAppTitle unless a text says otherwise; refusals before the drive is read
// are titled "エラー" with the stop icon.
#pragma once

namespace orv {

// The menu items of the main window.
inline constexpr char kBackupMenuLabel[] = "ディスクのバックアップ...";
inline constexpr char kCompareMenuLabel[] = "ディスクの比較...";

// The file choices.
inline constexpr char kBackupChoiceTitle[] = "バックアップの保存先";
inline constexpr char kBackupFilterImages[] = "イメージファイル(*.ovi)";
inline constexpr char kCompareChoiceTitle[] = "比較するイメージファイルの指定";
inline constexpr char kCompareFilterImages[] = "イメージファイル(*.ovi;*.img;*.iso)";
inline constexpr char kFilterAll[] = "すべて";

// The chosen file is an interrupted backup: Yes goes on with it, anything else does nothing.
inline constexpr char kBackupResumeQuestion[] =
    "このファイルへのバックアップは途中で止まっています。\r\n続きから再開しますか？";
inline constexpr char kBackupResumeNote[] = "※ いいえを選ぶと何もしません。";
// Refusals: a complete backup, or another file, is never written over.
inline constexpr char kBackupAlreadyComplete[] =
    "このファイルは完了したバックアップです。\r\n別の名前を指定してください。";
inline constexpr char kBackupFileExists[] = "ファイルが既に存在します。\r\n別の名前を指定してください。";
inline constexpr char kBackupRefusedNote[] = "※ ファイルもディスクも変更していません。";
inline constexpr char kDriveCannotOpen[] = "ドライブを開くことができません。";
inline constexpr char kDriveNotReady[] = "デバイスの準備ができていません。";

// The progress boxes, with the identification text, and the status line: sectors done, sectors
// in all, percent, the rate in MB/s (one decimal) and the remaining time.
inline constexpr char kBackupProgressFormat[] = "%s\r\n\r\nディスクをバックアップしています。";
inline constexpr char kCompareProgressFormat[] = "%s\r\n\r\nディスクとイメージを比較しています。";
inline constexpr char kReadStatus[] = "%I64u/%I64u (%u%%) %I64u.%I64u MB/s%s";

// The final boxes of the backup.
inline constexpr char kBackupCompleted[] =
    "バックアップ完了しました。\r\n\r\n読み取り: %I64u セクタ\r\n所要時間：%s\r\n";
inline constexpr char kBackupCompletedWithBad[] =
    "バックアップ完了しましたが、読み取れないセクタがありました。\r\n\r\n"
    "読み取り: %I64u セクタ\r\n読み取り不可: %I64u セクタ\r\n";
inline constexpr char kBackupStopped[] =
    "処理を中断しました。\r\n\r\n読み取り: %I64u セクタ\r\n読み取り不可: %I64u セクタ\r\n未読: %I64u セクタ\r\n";
inline constexpr char kBackupFailed[] = "バックアップに失敗しました。\r\n    %s\r\n";
inline constexpr char kBackupDoneNote[] =
    "※ このファイルを[イメージ書込]でディスクに書き込むと、\r\n　 ディスクの内容を元に戻せます。";
inline constexpr char kBackupBadNote[] =
    "※ 読み取れなかったセクタはファイルに含まれません。\r\n　 書き戻しても、それらのセクタは元のままです。";
inline constexpr char kBackupResumableNote[] =
    "※ 同じファイルを指定すると、\r\n　 続きからバックアップを再開できます。";

// The final boxes of the comparison.
inline constexpr char kCompareEqual[] = "ディスクとイメージは一致しました。\r\n\r\n比較: %I64u セクタ\r\n";
inline constexpr char kCompareDifferent[] = "ディスクとイメージが一致しません。\r\n\r\n比較: %I64u セクタ\r\n";
inline constexpr char kCompareDifferingHead[] = "異なるセクタ: %I64u セクタ (%u 箇所)\r\n";
inline constexpr char kCompareUnreadableHead[] = "読み取れないセクタ: %I64u セクタ (%u 箇所)\r\n";
inline constexpr char kCompareFailed[] = "比較できませんでした。\r\n    %s\r\n";
inline constexpr char kInterruptedText[] = "処理を中断しました。";

// A list of sector ranges, the first few of each kind named, then how many more there are.
inline constexpr char kRangeLine[] = "    セクタ %I64u から %I64u セクタ\r\n";
inline constexpr char kRangesMoreNote[] = "※ ほかに %u 箇所あります。";

}  // namespace orv
