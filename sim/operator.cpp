// The diligent operator reads prompts the way a person does: line by line,
// full-width and half-width characters alike, and acts on the lines it knows.

#include "sim/operator.h"

#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

// Full-width ASCII forms (U+FF01..U+FF5E) and the ideographic space become
// their plain ASCII characters, so "ＬＶ１３" reads as "LV13".
std::string Narrow(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c0 = static_cast<unsigned char>(s[i]);
        if (i + 2 < s.size()) {
            const auto c1 = static_cast<unsigned char>(s[i + 1]);
            const auto c2 = static_cast<unsigned char>(s[i + 2]);
            unsigned cp = 0;
            if ((c0 & 0xF0) == 0xE0 && (c1 & 0xC0) == 0x80 && (c2 & 0xC0) == 0x80)
                cp = ((c0 & 0x0Fu) << 12) | ((c1 & 0x3Fu) << 6) | (c2 & 0x3Fu);
            if (cp >= 0xFF01 && cp <= 0xFF5E) {
                out += static_cast<char>(cp - 0xFEE0);
                i += 2;
                continue;
            }
            if (cp == 0x3000) {
                out += ' ';
                i += 2;
                continue;
            }
        }
        out += static_cast<char>(c0);
    }
    return out;
}

bool Has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

std::string WithoutSpaces(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out += c;
    return out;
}

// The first decimal number in a text ("LV13" gives 13, "1.414m" 1.414).
bool FirstNumber(const std::string& s, double& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            char* end = nullptr;
            out = std::strtod(s.c_str() + i, &end);
            return end != s.c_str() + i;
        }
    }
    return false;
}

std::string Format(const char* fmt, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

constexpr const char* kBullet = "\xE3\x83\xBB";  // "・"

}  // namespace

DiligentOperator::DiligentOperator(const SimBenchApi& bench) : m_api(bench) {}

void DiligentOperator::Note(const std::string& action) { m_record.push_back(action); }

void DiligentOperator::Follow(const std::string& /*caption*/, const std::string& text) {
    SimBench bench{};
    m_api.GetBench(&bench);
    const SimBench before = bench;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        FollowLine(Narrow(text.substr(start, end - start)), bench);
        start = end + 1;
    }
    const bool changed = bench.lens != before.lens || bench.ndFilter != before.ndFilter ||
                         bench.light != before.light || bench.lightLevel != before.lightLevel ||
                         bench.chart != before.chart || bench.closest != before.closest ||
                         bench.subjectDistanceM != before.subjectDistanceM ||
                         bench.flashPoppedUp != before.flashPoppedUp || bench.power != before.power ||
                         bench.supplyVolts != before.supplyVolts || bench.usbPlugged != before.usbPlugged ||
                         bench.mainSwitchOn != before.mainSwitchOn || bench.exposureMode != before.exposureMode ||
                         bench.afMode != before.afMode;
    if (changed) m_api.SetBench(&bench);
}

void DiligentOperator::FollowLine(const std::string& raw, SimBench& bench) {
    std::string line = Trim(raw);
    if (line.empty()) return;

    if (line.rfind(kBullet, 0) == 0) {
        // A condition: "・key : value" (or "・key = value" for the camera's own switches).
        const std::string body = line.substr(3);
        std::size_t sep = body.find(':');
        if (sep == std::string::npos) sep = body.find('=');
        if (sep == std::string::npos) return;
        FollowCondition(WithoutSpaces(body.substr(0, sep)), Trim(body.substr(sep + 1)), bench);
        return;
    }

    if (Has(line, "USBケーブルをカメラに差し込んで")) {
        if (Has(line, "ACアダプターを接続し")) {
            bench.power = SIM_POWER_AC_ADAPTER;
            Note("AC adapter connected");
        }
        bench.usbPlugged = 1;
        Note("USB cable plugged in");
    } else if (Has(line, "ACアダプターをカメラに接続")) {
        bench.power = SIM_POWER_AC_ADAPTER;
        Note("AC adapter connected");
    } else if (Has(line, "電池工具") && (Has(line, "接続") || Has(line, "使用"))) {
        if (bench.power != SIM_POWER_BATTERY_TOOL) Note("battery tool (without resistor) connected");
        bench.power = SIM_POWER_BATTERY_TOOL;
    } else if (Has(line, "電源スイッチをONに")) {
        bench.mainSwitchOn = 1;
        Note("main switch on");
    } else if (Has(line, "電圧を") && Has(line, "設定")) {
        double volts = 0;
        if (FirstNumber(line.substr(line.find("電圧を")), volts) && volts > 0) {
            bench.supplyVolts = volts;
            Note(Format("supply set to %.2f V", volts));
        }
    } else if (Has(line, "全面が赤")) {
        bench.chart = SIM_CHART_RED;
        Note("chart moved: red field fills the view");
    } else if (Has(line, "全面が青")) {
        bench.chart = SIM_CHART_BLUE;
        Note("chart moved: blue field fills the view");
    } else if (Has(line, "カメラに光を与えない")) {
        bench.light = SIM_LIGHT_OFF;
        Note("light source off");
    } else if (Has(line, "取り外して") || Has(line, "外してください")) {
        if (Has(line, "ケーブル")) {
            bench.usbPlugged = 0;
            Note("cables removed from the camera");
        }
    }
}

void DiligentOperator::FollowCondition(const std::string& key, const std::string& value, SimBench& bench) {
    const bool none = Has(value, "無し");
    const bool present = Has(value, "有り");
    double number = 0;

    if (key == "メインスイッチ") {
        bench.mainSwitchOn = Has(value, "ON") ? 1 : 0;
        Note(bench.mainSwitchOn ? "main switch on" : "main switch off");
    } else if (key == "露出モード") {
        bench.exposureMode = value == "M" ? SIM_MODE_MANUAL : SIM_MODE_AUTO;
        Note(bench.exposureMode == SIM_MODE_MANUAL ? "exposure mode M" : "exposure mode auto");
    } else if (key == "AFモード") {
        bench.afMode = value == "M" ? SIM_MODE_MANUAL : SIM_MODE_AUTO;
        Note(bench.afMode == SIM_MODE_MANUAL ? "AF mode M" : "AF mode auto");
    } else if (key == "レンズ") {
        if (Has(value, "キャップ")) {
            bench.lens = SIM_LENS_CAPPED;
            Note("lens with its cap on");
        } else if (Has(value, "工具レンズ")) {
            bench.lens = SIM_LENS_TOOL_F8;
            Note("tool lens F8");
        } else if (Has(value, "50mm")) {
            bench.lens = SIM_LENS_50MM_F14;
            Note("50 mm F1.4 lens");
        }
    } else if (key == "NDフィルター") {
        if (none) {
            bench.ndFilter = 0;
            Note("no ND filter");
        } else if (Has(value, "ND") && FirstNumber(value, number)) {
            bench.ndFilter = static_cast<int>(number);
            Note(Format("ND%.0f filter", number));
        }
    } else if (key == "カラービュアー" || key == "輝度箱の輝度") {
        if (FirstNumber(value, number)) {
            bench.light = key == "カラービュアー" ? SIM_LIGHT_VIEWER : SIM_LIGHT_BOX;
            bench.lightLevel = number;
            Note(Format(key == "カラービュアー" ? "colour viewer at LV%g" : "light box at LV%g", number));
        }
    } else if (Has(key, "カメラ-") && (Has(key, "ビュアー") || Has(key, "輝度箱"))) {
        if (Has(value, "最至近")) {
            bench.closest = 1;
            Note("camera at the closest distance to the source");
        }
    } else if (Has(key, "カラーバーチャート")) {
        if (none) {
            bench.chart = SIM_CHART_NONE;
            Note("no colour bar chart");
        } else if (present && bench.chart == SIM_CHART_NONE) {
            bench.chart = SIM_CHART_RED;  // mounted; its fields are chosen per capture
            Note("colour bar chart mounted");
        }
    } else if (key == "被写体") {
        if (Has(value, "反射")) {
            bench.light = SIM_LIGHT_REFLECTOR;
            bench.chart = SIM_CHART_NONE;
            Note("standard reflector as the subject");
        }
    } else if (Has(key, "被写体距離")) {
        if (FirstNumber(value, number)) {
            bench.subjectDistanceM = number;
            Note(Format("reflector at %.3f m", number));
        }
    } else if (Has(key, "SBポップ")) {
        bench.flashPoppedUp = present ? 1 : 0;
        Note(present ? "built-in flash popped up" : "built-in flash down");
    } else if (Has(key, "レンズ距離")) {
        Note("focus ring set: " + value);  // focus does not matter for a uniform field
    }
}

std::optional<std::string> DiligentOperator::Answer(const std::string& title, const std::string& prompt) {
    if (Has(Narrow(prompt), "電流計の値")) {
        const std::string typed = Format("%.3f", m_api.ReadAmmeter());
        Note("typed the ammeter reading " + typed + " A (" + title + ")");
        return typed;
    }
    return std::nullopt;
}

}  // namespace sim
