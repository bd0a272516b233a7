#pragma once
// The station's result numbers. Every operation that can fail returns an
// int: 1 for success, else a number of one of the two sets below. A few
// low-level helpers return 0 for a failure, which their callers map to a
// number of their own.
//
// The numbers 3 to 74 carry the fixed messages of the status line
// (shell/error_messages). The items and the sequencer name a failure by the
// message it is to show. The camera link reports its own failures with
// numbers of the same range, named here by what the link means by them; a
// link number that reaches the status line shows the message of that
// number, whatever the message says.

// ---- the camera link's own numbers ----------------------------------------
inline constexpr int kLinkNotLoaded = 2;         // no driver entry bound; it has no message
inline constexpr int kLinkEntryMissing = 3;      // the library exports no driver entry
inline constexpr int kLinkNoDevice = 4;          // the driver lists no device
inline constexpr int kLinkNoCamera = 5;          // no listed device is the camera
inline constexpr int kLinkBadArgument = 6;       // refused before anything was sent
inline constexpr int kLinkValueNotTaken = 6;     // a property set and read back holds another value
inline constexpr int kLinkBadPropertyReply = 7;  // a property reply of another length or id
inline constexpr int kLinkNoPicture = 8;         // never ready, no picture, or one that cannot be used
inline constexpr int kLinkMcuRefused = 9;        // the microcontroller answered other than "a"
inline constexpr int kLinkDriverNotOpened = 10;
inline constexpr int kLinkDeviceNotOpened = 11;  // the device list or the device could not be opened
inline constexpr int kLinkTransferFailed = 14;   // the transfer failed, or its sense reported a fault

// ---- the numbers of the message table, by their message --------------------
inline constexpr int kErrUsbCommunication = 3;      // USB通信エラー
inline constexpr int kErrUsbNoDevice = 4;           // USB：デバイス無しエラー
inline constexpr int kErrUsbOpenSession = 5;        // USB：オープンセッションコマンドエラー
inline constexpr int kErrUsbModeChange = 6;         // USB：通信モード変更コマンドエラー
inline constexpr int kErrUsbRelease = 7;            // USB：レリーズエラー
inline constexpr int kErrUsbReleaseConditions = 8;  // USB：レリーズ条件設定エラー
inline constexpr int kErrUsbCcdEepromWrite = 9;     // USB：CCDEEPROM書き込みエラー
inline constexpr int kErrUsbRamConfigWrite = 10;    // USB：RAM－CONFIG書き込みエラー
inline constexpr int kErrUsbMainRamWrite = 11;      // USB：メインRAM書き込みエラー
inline constexpr int kErrUsbMainEepromWrite = 12;   // USB：メインEEPROM書き込みエラー
inline constexpr int kErrUsbAfMode = 13;            // USB：AFモード設定エラー
inline constexpr int kErrUsbExposureMode = 14;      // USB：露出モード設定エラー
// The text of 9: the station reports with it a CCD EEPROM that, committed to
// flash and unpacked again, does not hold what was written.
inline constexpr int kErrUsbCcdEepromFlash = 15;
inline constexpr int kErrShortCircuit = 16;          // ショートエラー
inline constexpr int kErrConsumptionCurrent = 17;    // 消費電流エラー
inline constexpr int kErrRiscVersion = 18;           // RISCマイコンVerエラー
inline constexpr int kErrCcdEepromFlashData = 19;    // CCDEEPROM-FALSHデータ相関エラー
inline constexpr int kErrCcdEepromFixedValue = 20;   // CCDEEPROM固定値エラー
inline constexpr int kErrCcdEepromFixedValue2 = 21;  // the text of 20
inline constexpr int kErrBatteryCheckAdjust = 22;    // バッテリーチェック調整出来ずエラー
inline constexpr int kErrAdValue = 23;               // Ａ／Ｄ値異常値エラー
inline constexpr int kErrBatteryCheck1CcdOff = 24;   // バッテリーチェック１(CCD-OFF時)エラー
inline constexpr int kErrBatteryCheck2CcdOff = 25;   // バッテリーチェック２(CCD-OFF時)エラー
inline constexpr int kErrBatteryCheck1CcdOn = 26;    // バッテリーチェック１(CCD-ON時)エラー
inline constexpr int kErrBatteryCheck2CcdOn = 27;    // バッテリーチェック２(CCD-ON時)エラー
inline constexpr int kErrObIso200 = 28;              // OB出力異常（ISO200)エラー
inline constexpr int kErrObIso400 = 29;              // OB出力異常（ISO400)エラー
inline constexpr int kErrObIso800 = 30;              // OB出力異常（ISO800)エラー
inline constexpr int kErrObIso1600 = 31;             // OB出力異常（ISO1600)エラー
inline constexpr int kErrGSaturation = 32;           // Ｇ飽和出力レベルエラー
inline constexpr int kErrRSaturation = 33;           // Ｒ飽和出力レベルエラー
inline constexpr int kErrBSaturation = 34;           // Ｂ飽和出力レベルエラー
inline constexpr int kErrIso1600Db = 35;             // 感度1600時ＤＢ値エラー
// One number a stop from ISO200 to ISO1600, in that order.
inline constexpr int kErrSensAdjustIso200 = 36;    // 感度調整(ISO200）エラー
inline constexpr int kErrSensAdjustIso400 = 37;    // 感度調整(ISO400）エラー
inline constexpr int kErrSensAdjustIso800 = 38;    // 感度調整(ISO800）エラー
inline constexpr int kErrSensAdjustIso1600 = 39;   // 感度調整(ISO1600）エラー
inline constexpr int kErrSensOutputIso200 = 40;    // 感度（ISO200)出力エラー
inline constexpr int kErrSensOutputIso400 = 41;    // 感度（ISO400)出力エラー
inline constexpr int kErrSensOutputIso800 = 42;    // 感度（ISO800)出力エラー
inline constexpr int kErrSensOutputIso1600 = 43;   // 感度（ISO1600)出力エラー
inline constexpr int kErrSensRatioAdjust = 44;     // 感度比調整出来ずエラー
inline constexpr int kErrSensRatioGLevel = 45;     // 感度比G出力レベルエラー
inline constexpr int kErrSensRatioRLevel = 46;     // 感度比R出力レベルエラー
inline constexpr int kErrSensRatioBLevel = 47;     // 感度比B出力レベルエラー
inline constexpr int kErrLineCrawlParameter = 48;  // ﾗｲﾝｸﾛｰﾙ調整値算出ﾊﾟﾗﾒｰﾀ
inline constexpr int kErrLineCrawlValue = 49;      // ﾗｲﾝｸﾛｰﾙ調整値エラー
inline constexpr int kErrLineCrawlCheck = 50;      // ﾗｲﾝｸﾛｰﾙ点検エラー
inline constexpr int kErrLineCrawlGLevel = 51;     // ラインクロールG出力レベルエラー
inline constexpr int kErrPreFlashData = 52;        // プリ調整データエラー
inline constexpr int kErrMainFlashData = 53;       // 本調整データエラー
inline constexpr int kErrPreFlashAdjust = 54;      // プリ調整出来ずエラー
inline constexpr int kErrMainFlashAdjust = 55;     // 本調整出来ずエラー
inline constexpr int kErrFlashPopUp = 56;          // 内蔵ＳＢポップアップエラー
inline constexpr int kErrNoLens = 57;              // レンズ無しエラー
inline constexpr int kErrAv5GRatio = 58;           // AV5_G出力比エラー
inline constexpr int kErrAv1GRatio = 59;           // AV1_G出力比エラー
inline constexpr int kErrAv5RRatio = 60;           // AV5_R出力比エラー
inline constexpr int kErrAv1RRatio = 61;           // AV1_R出力比エラー
inline constexpr int kErrAv5BRatio = 62;           // AV5_B出力比エラー
inline constexpr int kErrAv1BRatio = 63;           // AV1_B出力比エラー
inline constexpr int kErrAv6GLevel = 64;           // AV6_G出力レベルエラー
inline constexpr int kErrAv1GLevel = 65;           // AV1-G出力レベルエラー
inline constexpr int kErrTftPositionRange = 66;    // TFT位置調整値範囲外エラー
inline constexpr int kErrImageMemory = 67;         // 画像用メモリ確保できずエラー
inline constexpr int kErrOutputLevelOver = 68;     // 出力レベルオーバーエラー
inline constexpr int kErrDefectCountOver = 69;     // キズ検出数オーバーエラー
inline constexpr int kErrDefectCoordinate = 70;    // キズ検出座標異常エラー
inline constexpr int kErrDefectWriteValue = 71;    // 画素欠陥書き込み値異常エラー
inline constexpr int kErrDefectRunAcross = 72;     // 横４連画素欠陥ありエラー
inline constexpr int kErrDefectRunDown = 73;       // 縦４連画素欠陥ありエラー
inline constexpr int kErrFileOpen = 74;            // ファイルオープンエラー
