// An item window against one simulated unit on a bench that the simulator's
// operator sets by the window's prompts, with the link up in checker mode as
// the sequencer leaves it; and the bench optics of sim/README.md written out
// again, to predict what the camera measures.

#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "sim/operator.h"
#include "sim/simulator.h"
#include "ui/scripted/scripted_host.h"

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// A rectangle mean as the camera sent it.
struct Means {
    int gr = 0, r = 0, gb = 0, b = 0;
};

// The channel levels a field of the colour viewer (LV13, tool lens at F8, no
// ND filter, closest) gives at shutter code `a` and the factory ISO200 gain,
// as the converter reads them, before any digital correction.
struct Levels {
    double gr, r, gb, b;
};
inline Levels PredictViewer(const sim::UnitProfile& u, int a, int chart) {
    const double e = std::pow(2.0, 13 - 6 - a / 6.0) * 0.5;
    double fr = 1, fg = 1, fb = 1;
    if (chart == SIM_CHART_RED) fr = 0.40, fg = 0.12, fb = 0.05;
    if (chart == SIM_CHART_BLUE) fr = 0.05, fg = 0.12, fb = 0.50;
    const double g = std::pow(10.0, 0.033 * u.factoryIso200 / 20);
    const double sR = u.greenResponse * u.redResponse * e * fr, sG = u.greenResponse * e * fg,
                 sB = u.greenResponse * u.blueResponse * e * fb;
    auto adc = [&](double v) { return std::min(v * g + u.clampResidual, 4095.0); };
    return {adc(sG + u.crosstalk * sR), adc(sR), adc(sG + u.crosstalk * u.crosstalkSkew * sB), adc(sB)};
}

// A camera that garbles the first byte of what the named write stores (its
// read-back then differs); empty: none.
inline std::string g_garbledWrite;
inline std::uint32_t GarblingEntry(std::uint32_t selector, void* block, std::uint32_t handle) {
    const std::size_t before = sim::Sim().Commands().size();
    const std::uint32_t r = SimLvDriverEntry(selector, block, handle);
    const auto& c = sim::Sim().Commands();
    if (c.size() > before && !g_garbledWrite.empty() && c.back().name == g_garbledWrite) {
        const bool ram = g_garbledWrite == "DXC_RAMCONFIG_DATAWRITE";
        sim::Sim().FirstCamera().Mem(ram ? sim::Memory::RamConfig : sim::Memory::CcdEeprom).at(
            platform::GetBe32(&c.back().cdb[4])) ^= 0xFF;
        g_garbledWrite.clear();
    }
    return r;
}

class BenchItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Sim().Reset();
        g_garbledWrite.clear();
        CUsbCamera::BindDriverEntry(&GarblingEntry);
        host_.SetPromptWatcher([this](const std::string& c, const std::string& t) { hands_.Follow(c, t); });
    }
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }

    // One camera of `unit` on the bus, the bench as the last item left it
    // (AC adapter, cable in), the checker open; records cleared.
    void Start(const sim::UnitProfile& unit) {
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(unit), 0u) << sim::Sim().LastError();
        CUsbCamera::SetLinkFlags(0);
        ASSERT_EQ(cam_.ConnectCamera(), 1);
        ASSERT_EQ(cam_.ResumeSession(), 1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
        sim::Sim().ClearCommands();
        host_.ClearRecords();
    }
    static sim::UnitProfile Unit(const std::string& name) { return *sim::FindProfile(name); }

    sim::Camera& Camera() { return sim::Sim().FirstCamera(); }
    Bytes Mem(sim::Memory m, std::size_t address, std::size_t n) {
        const auto& mem = Camera().Mem(m);
        return Bytes(mem.begin() + address, mem.begin() + address + n);
    }
    static int Count(const std::string& name) {
        const auto& c = sim::Sim().Commands();
        return static_cast<int>(std::count_if(c.begin(), c.end(), [&](auto& r) { return r.name == name; }));
    }
    // The data of every transfer of that name, in order.
    static std::vector<Bytes> Written(const std::string& name) {
        std::vector<Bytes> out;
        for (const auto& c : sim::Sim().Commands())
            if (c.name == name) out.push_back(c.dataOut);
        return out;
    }
    // Every area measurement the camera answered, in tenths as sent, in LSB.
    static std::vector<Means> Measurements() {
        std::vector<Means> out;
        for (const auto& c : sim::Sim().Commands()) {
            if (c.name != "DXC_CCD_ADJUST_DATA_IN" || c.dataIn.size() < 8) continue;
            auto at = [&](int i) { return platform::GetBe16(&c.dataIn[2 * static_cast<std::size_t>(i)]) / 10; };
            out.push_back({at(0), at(1), at(2), at(3)});
        }
        return out;
    }
    // A command that fails (its first transfer answered with a sense) or a
    // verified write whose data the camera garbles ends the item with its
    // number, and nothing is sent after it.
    struct FailingCommand {
        const char* command;
        int result;
        bool garbled = false;
    };
    void ExpectEachEndsTheItem(const std::vector<FailingCommand>& cases, const std::function<int()>& run) {
        for (const FailingCommand& c : cases) {
            SCOPED_TRACE(c.command);
            Start(Unit("nominal"));
            if (c.garbled)
                g_garbledWrite = c.command;
            else
                sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, c.command);
            EXPECT_EQ(run(), c.result);
            ASSERT_FALSE(sim::Sim().Commands().empty());
            const sim::CommandRecord& last = sim::Sim().Commands().back();
            const std::string name = c.command;  // a garbled write shows in its verifying read
            EXPECT_EQ(last.name, c.garbled ? name.substr(0, name.size() - 5) + "READ" : name);
            EXPECT_NE(last.SenseOk(), !c.garbled);
            cam_.SetCcdPower(1);
        }
    }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> texts;
        for (const auto& b : host_.MessageBoxes()) texts.push_back(b.caption + "|" + b.text);
        return texts;
    }

    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
    const SimBenchApi api_ = [] {
        SimBenchApi a{};
        a.version = SIM_BENCH_API_VERSION;
        a.GetBench = [](SimBench* out) { *out = sim::Sim().Bench(); };
        a.SetBench = [](const SimBench* in) { sim::Sim().SetBench(*in); };
        a.ReadAmmeter = [] { return sim::Sim().ReadAmmeter(); };
        return a;
    }();
    sim::DiligentOperator hands_{api_};
};

}  // namespace test_support
