// An item window's test bench: one simulated unit on the bus, the camera link
// as the run sequencer's pre-check leaves it (connected, session in mode 1,
// checker open), every command with the virtual time it was sent, and the run
// record of an item that is under way.

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "history/run_record.h"
#include "sim/simulator.h"
#include "ui/scripted/scripted_host.h"

namespace test_support {

// One command as the camera received it, and when.
struct TimedCommand {
    std::string name;
    std::vector<std::uint8_t> dataOut;
    std::vector<std::uint8_t> dataIn;
    std::int64_t ms = 0;
};

class ItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Sim().Reset();
        s_clock = &host_.VClock();
        s_sent = &sent_;
        CUsbCamera::BindDriverEntry(&TimedEntry);
    }
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
        s_clock = nullptr;
        s_sent = nullptr;
    }

    // The unit alone on the bus, connected as after the pre-check.
    void StartUnit(const sim::UnitProfile& unit) {
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(unit), 0u);
        ASSERT_EQ(cam_.ConnectCamera(), 1);
        ASSERT_EQ(cam_.ResumeSession(), 1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
        sent_.clear();
        record_.Begin(0, host_.VClock().NowMs());
        record_.BeginItem("item", host_.VClock().NowMs());
    }
    void StartUnit(const std::string& profile) {
        auto unit = sim::FindProfile(profile);
        ASSERT_TRUE(unit) << profile;
        StartUnit(*unit);
    }
    sim::Camera& Cam() { return sim::Sim().FirstCamera(); }

    // The commands sent whose name is `name`.
    std::vector<TimedCommand> Sent(const std::string& name) const {
        std::vector<TimedCommand> out;
        for (const TimedCommand& c : sent_)
            if (c.name == name) out.push_back(c);
        return out;
    }
    // The microcontroller commands sent, as their bytes.
    std::vector<std::vector<std::uint8_t>> McuCommands() const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const TimedCommand& c : Sent("DXC_CAMMCU_TESTCMD_SEND")) out.push_back(c.dataOut);
        return out;
    }

    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
    RunRecord record_;
    std::vector<TimedCommand> sent_;

private:
    static std::uint32_t TimedEntry(std::uint32_t selector, void* block, std::uint32_t handle) {
        const std::size_t before = sim::Sim().Commands().size();
        const std::uint32_t r = SimLvDriverEntry(selector, block, handle);
        if (s_sent && sim::Sim().Commands().size() > before) {
            const sim::CommandRecord& c = sim::Sim().Commands().back();
            s_sent->push_back({c.name, c.dataOut, c.dataIn, s_clock->NowMs()});
        }
        return r;
    }
    static inline platform::VirtualClock* s_clock = nullptr;
    static inline std::vector<TimedCommand>* s_sent = nullptr;
};

}  // namespace test_support
