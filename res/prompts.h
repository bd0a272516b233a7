#pragma once
// Captions of the operator's message boxes, and the first line of every
// list of bench conditions.

inline constexpr const char* kCaptionMessage = "MESSAGE";          // instructions, notices, questions
inline constexpr const char* kCaptionMessageM = "MESSAGEM";        // the list of bench conditions
inline constexpr const char* kCaptionError = "ERROR";              // communication and file failures
inline constexpr const char* kCaptionMeasureError = "エラー";      // a measurement outside its limits
inline constexpr const char* kCaptionBaseline = "感度基準値設定";  // storing a measured baseline

inline constexpr const char* kConditionsHeading = "下記に示す条件に設定してください\r\n";

// The first prompt of every camera session from the main window.
inline constexpr const char* kSetUpCameraPrompt =
    "カメラの設定を以下のように設定してください。\r\n・メインスイッチ＝ＯＮ\r\n・露出モード＝Ｍ\r\n・ＡＦモード＝Ｍ";
