// Every text the program shows, in one place, in UTF-8 like all of the
// program's text; the window shows it through the system's W functions.
#pragma once

namespace qs::text {

// Application and window titles.
inline constexpr const char* kAppTitle = "Quillo! Setup for Windows32";
inline constexpr const char* kBackCaption = "Quillo! Setup for Windows32 Version1.41(Build:0777)";

// Main window controls.
inline constexpr const char* kGrpSetupFolder = "セットアップフォルダ";
inline constexpr const char* kBtnRefer = "参照(&R)";
inline constexpr const char* kGrpOption = "セットアップオプション";
inline constexpr const char* kChkOverWrite = "自動的に上書きする．";
inline constexpr const char* kFraShortCut = "ショートカットの作成";
inline constexpr const char* kChkSCutDesktop = "デスクトップ」へ作成する．";
inline constexpr const char* kChkSCutStartMenu = "「スタートメニュー」へ作成する．";
inline constexpr const char* kChkSCutStartUp = "「スタートアップ」へ作成する．";
inline constexpr const char* kChkSCutSendTo = "「送る」へ作成する．";
inline constexpr const char* kBtnUnSetup = "アンセットアップ開始(&S)";
inline constexpr const char* kBtnEndSetup = "セットアップ終了(&E)";
inline constexpr const char* kBtnEndError = "終了(&E)";
inline constexpr const char* kBtnEndUnSetup = "アンセットアップ終了(&E)";
inline constexpr const char* kGrpMessage = "メッセージ";
inline constexpr const char* kFraStatus = "コピー進行状況";
inline constexpr const char* kLblStatusZero = "0%";
inline constexpr const char* kBtnSetup = "セットアップ開始(&S)";
inline constexpr const char* kBtnContinue = "セットアップ続行(&C)";
inline constexpr const char* kBtnCloseErrorLog = "続行(&C)";
inline constexpr const char* kDlgFolderTitle = "セットアップフォルダを選択してください．";

// Messages of the main window.
inline constexpr const char* kInitializing = "セットアップを初期化中です．．．";
inline constexpr const char* kInfoFileMissing =
    "セットアップ・アンセットアップ情報ファイルが見つかりません．";
// Shown when the system cannot keep late DLLs to the system folder
// (SetDefaultDllDirectories is missing); the program does not start.
inline constexpr const char* kSystemTooOld =
    "このWindowsでは安全に実行できません．\r"
    "Windows 7 では更新プログラム KB2533623 を適用してから実行してください．";
inline constexpr const char* kWindowsFolderFailed = "Windowsフォルダの取得に失敗しました．";
inline constexpr const char* kSystemFolderFailed = "WindowsSystemフォルダの取得に失敗しました．";
// A one-file SETUP.EXE: unpacking it, and why it could not be.
inline constexpr const char* kUnpacking = "セットアップファイルを展開しています．．．";
inline constexpr const char* kBundleDamaged =
    "セットアップファイルが壊れています．\rもう一度ダウンロードしてください．";
inline constexpr const char* kBundleFailed = "セットアップファイルを展開できませんでした．";
inline constexpr const char* kDefaultTopMessage = "セットアップを行います．";
inline constexpr const char* kUnSetupMessage =
    "アンセットアップ（アンインストール）を行います．\r\r"
    "開始するには，「アンセットアップ開始（Ｓ）」を選択してください．";
inline constexpr const char* kCloseQueryCaption = "終了確認";
inline constexpr const char* kCloseQueryText =
    "セットアップ・アンセットアップは終了していません．\rよろしいですか？";

// Uninstall record warning lines.
inline constexpr const char* kRecordWarning1 = "！！！　警告　！！！";
inline constexpr const char* kRecordWarning2 =
    "このファイルをエディタなどで書き換えたり，削除しないでください．";
inline constexpr const char* kRecordWarning3 = "書き換えた場合，アンセットアップ動作の保証はできません．";

// The install run.
inline constexpr const char* kGatheringPlan = "セットアップ情報を作成しています．．．";
inline constexpr const char* kCheckingFolder = "フォルダをチェックしています．．．";
inline constexpr const char* kFolderMissing = "このフォルダは存在しません．";
inline constexpr const char* kCreateFolderQuestion = "作成してもよろしいですか？";
inline constexpr const char* kCreateFolderCaption = "フォルダ作成";
inline constexpr const char* kCannotContinue = "セットアップを続行できませんでした．";
inline constexpr const char* kSetupStoppedCaption = "セットアップ中止";
inline constexpr const char* kFolderCreateFailed = "フォルダの作成に失敗しました．";
inline constexpr const char* kFatalErrorCaption = "致命的エラー";
inline constexpr const char* kCreatingFolders = "フォルダを作成しています．．．";
inline constexpr const char* kCreatingArrow = "Creating -> ";
inline constexpr const char* kCopyingArrow = "Copying -> ";
inline constexpr const char* kFileExists = "このファイルは既に存在します．";
inline constexpr const char* kOverwriteQuestion = "上書きしてもよろしいですか？";
inline constexpr const char* kOverwriteCaption = "上書き確認";
inline constexpr const char* kCreatingShortCuts = "ショートカットを作成しています．．．";
inline constexpr const char* kCreateTargetArrow = "CreateTarget -> ";
inline constexpr const char* kWritingRegistry = "レジストリを設定しています．．．";
inline constexpr const char* kCopyingUninstaller =
    "アンセットアップ（アンインストール）プログラムをコピーしています．．．";
inline constexpr const char* kSomeStepsFailed = "一部の処理に失敗しました．";
inline constexpr const char* kShowFailuresQuestion =
    "フォルダの作成・ファイルのコピーで，一部の処理が失敗しました．\r詳細を表示しますか？";
inline constexpr const char* kWarningCaption = "警告";
inline constexpr const char* kWorkFolderFailed =
    "作業用の一時フォルダを作成できませんでした．\r"
    "一時フォルダを直接使用して続行します．";
// A start-up error: run with administrator's rights, the program works
// only in a folder of its own that users cannot change.
inline constexpr const char* kNoAdminWorkFolder =
    "管理者用の作業フォルダを作成できませんでした．";
inline constexpr const char* kFailureListCaption = "作成・コピー処理失敗　詳細表示";
inline constexpr const char* kWritingRecord = "アンセットアップ情報を作成しています．．．";
inline constexpr const char* kSetupComplete = "セットアップが完了しました．";
inline constexpr const char* kSetupCompleteMessage =
    "セットアップが完了しました．\r\rプログラムのアンセットアップ（アンインストール）は，\r"
    "「アプリケーションの追加と削除」から行ってください．";
inline constexpr const char* kCompleteCaption = "完了";
inline constexpr const char* kExecuteFailed =
    "終了後プログラムの起動に失敗しました．\riniファイルの記述ミスの可能性があります．\r"
    "プログラム提供者へご報告ください．";

// Tags of the failure lists' lines.
inline constexpr const char* kTagFile = "<File> ";
inline constexpr const char* kTagFolder = "<Folder> ";
inline constexpr const char* kTagSetupFile = "<SetupFile> ";
inline constexpr const char* kTagShortCut = "<ShortCut> ";
inline constexpr const char* kTagSetupFolder = "<SetupFolder> ";
inline constexpr const char* kTagRegistry = "<Registry> ";

// Errors that end a run with the standard error report.
inline constexpr const char* kKeyCreateFailed = "ｷｰ %s の作成に失敗しました";
inline constexpr const char* kValueWriteFailed = "'%s' の設定に失敗しました";
inline constexpr const char* kIoFileNotFound = "ﾌｧｲﾙが見つかりません";
inline constexpr const char* kIoInvalidName = "不正なﾌｧｲﾙ名です";
inline constexpr const char* kIoTooManyFiles = "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます";
inline constexpr const char* kIoAccessDenied = "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
inline constexpr const char* kIoReadPastEnd = "ﾌｧｲﾙの末尾以降を読み込みました";
inline constexpr const char* kIoDiskFull = "ﾃﾞｨｽｸがいっぱいです";
inline constexpr const char* kIoNotNumeric = "入力値が数値ではありません";
inline constexpr const char* kIoOther = "I/O ｴﾗｰ (%s)";
inline constexpr const char* kOleError = "OLE ｴﾗｰ %s";
inline constexpr const char* kInterfaceNotSupported = "Interface はｻﾎﾟｰﾄされていません";

// The uninstall run.
inline constexpr const char* kUnSetupRunning = "アンセットアップ（アンインストール）を行っています．．．";
inline constexpr const char* kUnSetupConfirmCaption = "ファイル削除の確認";
// Follows the file's path in the question asked for a file flagged ",/C".
inline constexpr const char* kUnSetupConfirmText =
    "\r\rこのファイルを削除してもよろしいですか？\r\r"
    "<<　注意　>>\r"
    "DLL・OCXなどは他のプログラムでも使用される可能性があります．\r"
    "確実に使用されないことがわかっている場合のみ削除してください．";
inline constexpr const char* kUnSetupFailureQuestion =
    "アンセットアップ（アンインストール）の過程で，一部の処理が失敗しました．\r"
    "詳細を表示しますか？";
inline constexpr const char* kUnSetupFailureListCaption = "削除処理失敗　詳細表示";
inline constexpr const char* kUnSetupDone = "アンセットアップを完了しました．";
// Shown (OK, warning icon) before anything is removed, when the record no
// longer has the bytes the installation wrote.
inline constexpr const char* kRecordChanged =
    "アンセットアップ情報（UNSETUP.INI）がセットアップ後に書き換えられています．\r"
    "セットアップ先フォルダ内のファイル・フォルダ，ショートカットと登録だけを削除します．\r"
    "その他の項目は削除せず，失敗として示します．";

// The usage of the deployment switches, shown by SETUP.EXE /?.
inline constexpr const char* kUsage =
    "SETUP.EXE [/S] [/LOG=ファイル] [/OVERWRITE] [/OPEN] [/NODESKTOP] [/NOSTARTMENU]\r"
    "          [/NOSTARTUP] [/NOSENDTO] [/D=フォルダ]\r"
    "APPUNSET.EXE UNSETUP.INIのパス [/S] [/LOG=ファイル]\r\r"
    "/S　ウィンドウを出さずに実行します．質問にはデータを失わない方で答えます．\r"
    "/D=　セットアップ先のフォルダ（/S と共に，最後に指定します）\r"
    "/LOG=　処理の記録をファイルに書き出します（UTF-8）\r"
    "/OVERWRITE　既存のファイルを上書きします（/S と共に）\r"
    "/OPEN　終了後にファイルを開きます（/S と共に）\r"
    "/NODESKTOP /NOSTARTMENU /NOSTARTUP /NOSENDTO\r"
    "　その場所にショートカットを作成しません（/S と共に）\r\r"
    "終了コード：0 完了，1 一部の処理に失敗，2 エラーで中止，3 実行中のため終了，\r"
    "4 情報ファイルが見つからない，5 コマンドラインの誤り";

}  // namespace qs::text
