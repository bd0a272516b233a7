// The bench of every item window test: one simulated unit on a fresh bus,
// the link as the run sequencer's pre-check leaves it (connected, session in
// mode 1, checker open), the simulator's operator following the window's
// prompts, and every command the camera received with the virtual time it
// was sent.

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"
#include "history/run_record.h"
#include "platform/big_endian.h"
#include "sim/simulator.h"
#include "tests/support/bench_operator.h"
#include "ui/scripted/scripted_host.h"

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

// One command as the camera received it, and when.
struct TimedCommand : sim::CommandRecord {
    std::int64_t ms = 0;
};

// 16-bit words as the camera stores them, high byte first.
inline Bytes Words(std::initializer_list<int> words) {
    Bytes b;
    for (int w : words) b.insert(b.end(), {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w)});
    return b;
}

// The Gr, R, Gb and B means of an area measurement, in LSB.
struct Means {
    int gr = 0, r = 0, gb = 0, b = 0;
    bool operator==(const Means&) const = default;
};

class ItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        s_current = this;
        CUsbCamera::BindDriverEntry(&Entry);
        hands_.emplace(host_);
    }
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
        s_current = nullptr;
    }

    // A fresh bus with the unit alone on it (a profile's name or file), the
    // bench as given, connected as after the pre-check; a new run record.
    template <class Profile>
    void Start(const Profile& unit, const SimBench& bench = sim::Simulator::DefaultBench()) {
        cam_.DisconnectCamera();
        sim::Sim().Reset();
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(unit), 0u) << sim::Sim().LastError();
        sim::Sim().SetBench(bench);
        CUsbCamera::SetLinkFlags(0);
        ASSERT_EQ(cam_.ConnectCamera(), 1);
        ASSERT_EQ(cam_.ResumeSession(), 1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
        sim::Sim().ClearCommands();
        sent_.clear();
        garbled_.clear();
        afterCommand_ = nullptr;
        host_.ClearRecords();
        record_ = RunRecord{};
        record_.Begin(0, host_.VClock().NowMs());
    }
    static sim::UnitProfile Unit(const std::string& name) { return *sim::FindProfile(name); }
    static sim::Camera& Camera() { return sim::Sim().FirstCamera(); }

    // Runs the window modally as the sequencer does, as one item of the run
    // record; keeps its log.
    int Run(CAdjustDlg& dlg, std::string_view item = "item") {
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        record_.BeginItem(item, host_.VClock().NowMs());
        dlg.DoModal();
        record_.EndItem(dlg.m_result, host_.VClock().NowMs());
        log_ = dlg.m_log;
        return dlg.m_result;
    }

    static Bytes Mem(sim::Memory m, std::size_t address, std::size_t n) {
        const auto& mem = Camera().Mem(m);
        return Bytes(mem.begin() + static_cast<std::ptrdiff_t>(address),
                     mem.begin() + static_cast<std::ptrdiff_t>(address + n));
    }
    // The commands received of that name, in order.
    std::vector<TimedCommand> Sent(const std::string& name) const {
        std::vector<TimedCommand> out;
        for (const TimedCommand& c : sent_)
            if (c.name == name) out.push_back(c);
        return out;
    }
    int Count(const std::string& name) const { return static_cast<int>(Sent(name).size()); }
    // The data of every transfer of that name, in order.
    std::vector<Bytes> Written(const std::string& name) const {
        std::vector<Bytes> out;
        for (const TimedCommand& c : Sent(name)) out.push_back(c.dataOut);
        return out;
    }
    std::vector<Bytes> McuCommands() const { return Written("DXC_CAMMCU_TESTCMD_SEND"); }
    // Every area measurement the camera answered (sent in tenths of an LSB).
    std::vector<Means> AreaMeans() const {
        std::vector<Means> out;
        for (const TimedCommand& c : Sent("DXC_CCD_ADJUST_DATA_IN")) {
            auto at = [&](std::size_t i) { return platform::GetBe16(&c.dataIn[2 * i]) / 10; };
            if (c.dataIn.size() >= 8) out.push_back({at(0), at(1), at(2), at(3)});
        }
        return out;
    }
    // The message boxes shown, as "caption|text".
    std::vector<std::string> Prompts() const {
        std::vector<std::string> texts;
        for (const auto& b : host_.MessageBoxes()) texts.push_back(b.caption + "|" + b.text);
        return texts;
    }

    // A command that fails (its first transfer answered with a sense) or a
    // verified write whose first stored byte the camera garbles ends the
    // item with its number, and nothing is sent after it.
    struct FailingCommand {
        const char* command;
        int result;
        bool garbled = false;
    };
    void ExpectEachEndsTheItem(const std::vector<FailingCommand>& cases, const std::function<int()>& run) {
        for (const FailingCommand& c : cases) {
            SCOPED_TRACE(c.command);
            Start("nominal");
            if (c.garbled)
                garbled_ = c.command;
            else
                sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, c.command);
            EXPECT_EQ(run(), c.result);
            ASSERT_FALSE(sent_.empty());
            const std::string name = c.command;  // a garbled write shows in its verifying read
            EXPECT_EQ(sent_.back().name, c.garbled ? name.substr(0, name.size() - 5) + "READ" : name);
            EXPECT_NE(sent_.back().SenseOk(), !c.garbled);
        }
    }

    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
    std::optional<BenchOperator> hands_;  // reset: nobody at the bench
    RunRecord record_;
    std::string log_;
    std::vector<TimedCommand> sent_;
    // Called after each command the camera received, before the next.
    std::function<void(const sim::CommandRecord&)> afterCommand_;

private:
    static std::uint32_t Entry(std::uint32_t selector, void* block, std::uint32_t handle) {
        const std::size_t before = sim::Sim().Commands().size();
        const std::uint32_t r = SimLvDriverEntry(selector, block, handle);
        if (s_current && sim::Sim().Commands().size() > before) s_current->Received(sim::Sim().Commands().back());
        return r;
    }
    void Received(const sim::CommandRecord& c) {
        if (!garbled_.empty() && c.name == garbled_) {
            const bool ram = garbled_ == "DXC_RAMCONFIG_DATAWRITE";
            Camera().Mem(ram ? sim::Memory::RamConfig : sim::Memory::CcdEeprom).at(platform::GetBe32(&c.cdb[4])) ^=
                0xFF;
            garbled_.clear();
        }
        sent_.push_back({c, host_.VClock().NowMs()});
        if (afterCommand_) afterCommand_(c);
    }

    std::string garbled_;  // the write whose data the camera garbles once; empty: none
    static inline ItemTest* s_current = nullptr;
};

}  // namespace test_support
