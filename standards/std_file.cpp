#include "standards/std_file.h"

#include <cmath>
#include <cstdlib>

#include "platform/format.h"
#include "standards/std_text_scanner.h"

using platform::Format;

namespace {

// Unsigned fields print with %d, as the file always had them: a value above
// 2^31 - 1 prints negative and reads back to the same bits.
int AsInt(std::uint32_t v) { return static_cast<int>(v); }

class LineReader {
public:
    explicit LineReader(StdTextScanner& scanner) : m_s(scanner) {}

    void Real(double& field) {
        auto t = m_s.ScanNumber();
        if (!t) return;
        // Beyond the range of a double is no value: infinity would be
        // written back as "inf", which reads as no number and shifts every
        // value after it.
        const double v = std::strtod(t->c_str(), nullptr);
        if (std::isfinite(v)) field = v;
    }
    void Unsigned(std::uint32_t& field) {
        if (auto t = m_s.ScanNumber()) field = static_cast<std::uint32_t>(AtoiClamped(*t));
    }
    void Byte(std::uint8_t& field) {
        if (auto t = m_s.ScanNumber()) field = static_cast<std::uint8_t>(AtoiClamped(*t) & 0xFF);
    }
    void Text(std::string& field) {
        // The record holds at most four characters; a longer token is cut.
        if (auto t = m_s.ScanText()) field = t->substr(0, kSensInitialMaxChars);
    }

private:
    StdTextScanner& m_s;
};

}  // namespace

std::string FormatStandards(const StandardData& d) {
    std::string out;
    out += "BC ";
    out += Format("%2.2f  %2.2f ", d.bcAdjustVoltage, d.bcCheckVoltage);
    out += Format("%d  %d ", AsInt(d.bcAdMin), AsInt(d.bcAdMax));
    out += Format("%2.2f  %2.2f ", d.current72OffMin, d.current72OffMax);
    out += Format("%2.2f  %2.2f ", d.current77OffMin, d.current77OffMax);
    out += Format("%2.2f  %2.2f ", d.current72OnMin, d.current72OnMax);
    out += Format("%2.2f  %2.2f\r\n", d.current77OnMin, d.current77OnMax);

    out += "LINE ";
    out += Format("%3.5f  %d  %d  %d  %d ", d.lineRedLimit, AsInt(d.lineRedX), AsInt(d.lineRedWidth),
                  AsInt(d.lineRedY), AsInt(d.lineRedHeight));
    out += Format("%3.5f  %d  %d  %d  %d\r\n", d.lineBlueLimit, AsInt(d.lineBlueX), AsInt(d.lineBlueWidth),
                  AsInt(d.lineBlueY), AsInt(d.lineBlueHeight));

    out += "SENS_STD ";
    out += Format("%4d  %4d %4d  %2.2f %2.2f ", AsInt(d.sensLevelMin), AsInt(d.sensLevelMax), AsInt(d.sensBaseline),
                  d.sensAdjustTolerance, d.sensCheckTolerance);
    for (std::size_t i = 0; i < d.sensInitial.size(); ++i) {
        out += d.sensInitial[i];
        out += i + 1 < d.sensInitial.size() ? " " : "\r\n";
    }

    out += "SENS_RATIO_STD ";
    out += Format("%d  ", static_cast<int>(d.ratioSampleCount));
    out += Format("%2.5f %2.5f ", d.ratioGrBaseline, d.ratioGbBaseline);
    out += Format("%2.5f %2.5f %2.5f %2.5f ", d.ratioGrMin, d.ratioGrMax, d.ratioGbMin, d.ratioGbMax);
    out += Format("%2.5f %2.5f ", d.ratioGrTolerance, d.ratioGbTolerance);
    out += Format("%2.5f %2.5f \r\n", d.ratioGrInitial, d.ratioGbInitial);

    out += "PGAIN ";
    for (std::size_t f = 0; f < 5; ++f)
        out += Format("%2.5f %2.5f %2.5f %2.5f ", d.pgain[f * 4], d.pgain[f * 4 + 1], d.pgain[f * 4 + 2],
                      d.pgain[f * 4 + 3]);
    out += Format("%2.5f\r\n", d.pgainF14Tolerance);

    out += "INSIDE_SB ";
    out += Format("%d %d %d %d %2.3f %2.3f %4.1f \r\n", static_cast<int>(d.sbPreInitial),
                  static_cast<int>(d.sbMainInitial), AsInt(d.sbPreTarget), AsInt(d.sbMainTarget), d.sbPreTolerance,
                  d.sbMainTolerance, d.sbChargeVoltage);

    out += "CCD_DEFECT ";
    out += Format("%d %d\r\n", AsInt(d.defectLevel), AsInt(d.defectMaxWrites));
    return out;
}

void ParseStandards(std::string_view text, StandardData& d) {
    StdTextScanner s(text);
    LineReader r(s);

    if (s.FindKeyword("BC ")) {
        r.Real(d.bcAdjustVoltage);
        r.Real(d.bcCheckVoltage);
        r.Unsigned(d.bcAdMin);
        r.Unsigned(d.bcAdMax);
        r.Real(d.current72OffMin);
        r.Real(d.current72OffMax);
        r.Real(d.current77OffMin);
        r.Real(d.current77OffMax);
        r.Real(d.current72OnMin);
        r.Real(d.current72OnMax);
        r.Real(d.current77OnMin);
        r.Real(d.current77OnMax);
    }
    if (s.FindKeyword("LINE ")) {
        r.Real(d.lineRedLimit);
        r.Unsigned(d.lineRedX);
        r.Unsigned(d.lineRedWidth);
        r.Unsigned(d.lineRedY);
        r.Unsigned(d.lineRedHeight);
        r.Real(d.lineBlueLimit);
        r.Unsigned(d.lineBlueX);
        r.Unsigned(d.lineBlueWidth);
        r.Unsigned(d.lineBlueY);
        r.Unsigned(d.lineBlueHeight);
    }
    if (s.FindKeyword("SENS_STD ")) {
        r.Unsigned(d.sensLevelMin);
        r.Unsigned(d.sensLevelMax);
        r.Unsigned(d.sensBaseline);
        r.Real(d.sensAdjustTolerance);
        r.Real(d.sensCheckTolerance);
        for (auto& t : d.sensInitial) r.Text(t);
    }
    if (s.FindKeyword("SENS_RATIO_STD ")) {
        r.Byte(d.ratioSampleCount);
        r.Real(d.ratioGrBaseline);
        r.Real(d.ratioGbBaseline);
        r.Real(d.ratioGrMin);
        r.Real(d.ratioGrMax);
        r.Real(d.ratioGbMin);
        r.Real(d.ratioGbMax);
        r.Real(d.ratioGrTolerance);
        r.Real(d.ratioGbTolerance);
        r.Real(d.ratioGrInitial);
        r.Real(d.ratioGbInitial);
    }
    if (s.FindKeyword("PGAIN ")) {
        for (auto& g : d.pgain) r.Real(g);
        r.Real(d.pgainF14Tolerance);
    }
    if (s.FindKeyword("INSIDE_SB ")) {
        r.Byte(d.sbPreInitial);
        r.Byte(d.sbMainInitial);
        r.Unsigned(d.sbPreTarget);
        r.Unsigned(d.sbMainTarget);
        r.Real(d.sbPreTolerance);
        r.Real(d.sbMainTolerance);
        r.Real(d.sbChargeVoltage);
    }
    if (s.FindKeyword("CCD_DEFECT ")) {
        r.Unsigned(d.defectLevel);
        r.Unsigned(d.defectMaxWrites);
    }
}
