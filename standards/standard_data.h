#pragma once
// The standards record: every limit, target and initial value that the
// adjustments use, one field group per STD.DAT line, in file order.

#include <array>
#include <cstdint>
#include <string>

struct StandardData {
    // BC: battery check and consumption current.
    double bcAdjustVoltage = 0;
    double bcCheckVoltage = 0;
    std::uint32_t bcAdMin = 0;
    std::uint32_t bcAdMax = 0;
    double current72OffMin = 0;
    double current72OffMax = 0;
    double current77OffMin = 0;
    double current77OffMax = 0;
    double current72OnMin = 0;
    double current72OnMax = 0;
    double current77OnMin = 0;
    double current77OnMax = 0;

    // LINE: line crawl, red and blue chart areas.
    double lineRedLimit = 0;
    std::uint32_t lineRedX = 0;
    std::uint32_t lineRedWidth = 0;
    std::uint32_t lineRedY = 0;
    std::uint32_t lineRedHeight = 0;
    double lineBlueLimit = 0;
    std::uint32_t lineBlueX = 0;
    std::uint32_t lineBlueWidth = 0;
    std::uint32_t lineBlueY = 0;
    std::uint32_t lineBlueHeight = 0;

    // SENS_STD: sensitivity.
    std::uint32_t sensLevelMin = 0;
    std::uint32_t sensLevelMax = 0;
    std::uint32_t sensBaseline = 0;
    double sensAdjustTolerance = 0;
    double sensCheckTolerance = 0;
    // ISO200, 220, 250, 280, 320, 360, 400, 440, 500, 560, 640, 720, 800,
    // 880, 1000, 1100, 1250, 1400, 1600; texts of at most 4 characters.
    std::array<std::string, 19> sensInitial{};

    // SENS_RATIO_STD: sensitivity ratio.
    std::uint8_t ratioSampleCount = 0;
    double ratioGrBaseline = 0;
    double ratioGbBaseline = 0;
    double ratioGrMin = 0;
    double ratioGrMax = 0;
    double ratioGbMin = 0;
    double ratioGbMax = 0;
    double ratioGrTolerance = 0;
    double ratioGbTolerance = 0;
    double ratioGrInitial = 0;
    double ratioGbInitial = 0;

    // PGAIN: aperture gains, F1.4, F2, F2.8, F4, F5.6, each R, Gr, Gb, B.
    std::array<double, 20> pgain{};
    double pgainF14Tolerance = 0;

    // INSIDE_SB: built-in flash.
    std::uint8_t sbPreInitial = 0;
    std::uint8_t sbMainInitial = 0;
    std::uint32_t sbPreTarget = 0;
    std::uint32_t sbMainTarget = 0;
    double sbPreTolerance = 0;
    double sbMainTolerance = 0;
    double sbChargeVoltage = 0;

    // CCD_DEFECT: defect correction.
    std::uint32_t defectLevel = 0;
    std::uint32_t defectMaxWrites = 0;

    bool operator==(const StandardData&) const = default;
};

inline constexpr std::size_t kSensInitialCount = 19;
inline constexpr std::size_t kSensInitialMaxChars = 4;

// The main window keeps the nineteen initial values as 16-bit integers: the
// texts convert as atoi does (leading digits, 0 when there are none) and come
// back formatted with "%04d".
std::array<std::uint16_t, 19> SensInitialToIntegers(const std::array<std::string, 19>& texts);
std::array<std::string, 19> SensInitialToTexts(const std::array<std::uint16_t, 19>& values);

// String to integer as atoi does, without its undefined behaviour on
// overflow: a value beyond the range of int is clamped to it.
int AtoiClamped(const std::string& text);
