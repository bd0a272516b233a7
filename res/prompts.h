#pragma once
// Captions of the operator's message boxes, and the first line of every
// list of bench conditions.

inline constexpr const char* kCaptionMessage = "MESSAGE";          // instructions, notices, questions
inline constexpr const char* kCaptionMessageM = "MESSAGEM";        // the list of bench conditions
inline constexpr const char* kCaptionError = "ERROR";              // communication and file failures
inline constexpr const char* kCaptionMeasureError = "エラー";      // a measurement outside its limits
inline constexpr const char* kCaptionBaseline = "感度基準値設定";  // storing a measured baseline

inline constexpr const char* kConditionsHeading = "下記に示す条件に設定してください\r\n";

// The viewer bench of the sensitivity measurements: the tool lens line, the
// ND filter line, then the viewer at LV13, closest, no chart.
inline constexpr const char* kToolLensLine = "・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n";
inline constexpr const char* kNd3Line = "・ＮＤフィルター：　ＮＤ３\r\n";
inline constexpr const char* kViewerLines =
    "・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n・カラーバーチャート　：　無し";

// The first prompt of every camera session from the main window.
inline constexpr const char* kSetUpCameraPrompt =
    "カメラの設定を以下のように設定してください。\r\n・メインスイッチ＝ＯＮ\r\n・露出モード＝Ｍ\r\n・ＡＦモード＝Ｍ";

// The set-up of a session of its own (the baselines, the defect editor), and
// its failure to reach the camera.
inline constexpr const char* kConnectAdapterAndUsbPrompt =
    "ＡＣアダプターを接続し、ＵＳＢケーブルをカメラに差し込んでください";
inline constexpr const char* kFirstContactFailed = "カメラとの初期通信でエラーが発生しました";
