#pragma once
// Sensitivity ratio adjustment: the red and blue gains are balanced against
// green on the colour viewer's even field until the camera's G/R and G/B
// ratios meet the ratio baselines. Each trial goes to the working aperture
// gain table; the result goes to the stored one, every aperture group scaled
// by its own coefficients.

#include <array>
#include <cstdint>
#include <optional>

#include "adjust/adjust_dlg.h"

class CSensRatioDlg : public CAdjustDlg {
public:
    explicit CSensRatioDlg(ui::Host& host);

    // ---- inputs (SENS_RATIO_STD, PGAIN, the ratio baselines) ---------------
    std::uint8_t m_sampleCount = 0;  // captures averaged per pass
    double m_grTarget = 0;           // G/R baseline
    double m_gbTarget = 0;           // G/B baseline
    double m_grTolerance = 0;        // %
    double m_gbTolerance = 0;        // %
    double m_grInitial = 0;          // starting red gain
    double m_gbInitial = 0;          // starting blue gain
    std::array<double, 20> m_pgain{};  // group g, coefficient k at 4 g + k

    static constexpr int kPasses = 4;
    static constexpr std::size_t kBlockSize = 40;
    using GainBlock = std::array<std::uint8_t, kBlockSize>;
    enum class BlockMode { Result, Trial };

    // The gain block of a mode for the red and blue gains: trial groups
    // [red, 1, 1, blue], result groups [red x K0, K1, K2, blue x K3]; nullopt
    // when a gain has no 8.8 word (below 0 or from 256 on).
    static std::optional<GainBlock> BuildGainBlock(BlockMode mode, double grAdj, double gbAdj,
                                                   const std::array<double, 20>& pgain);
    int RunSensRatio();

protected:
    int RunAdjustment() override { return RunSensRatio(); }

private:
    int RatioLoop();
    // Writes the block of the mode, verified, and has the camera build its
    // gain table: 1, 3, or 44 when the gains have no block.
    int WriteGainBlock(BlockMode mode);

    double m_grAdj = 0;  // the red gain under trial
    double m_gbAdj = 0;  // the blue gain under trial
};
