// The bench API and the guarded driver entry, as the simulated driver
// library exports them (sim/export.cpp) and a program that links the
// simulator uses them. They are C functions: nothing the simulator throws may
// leave through them, so each catches everything and reports it, the driver
// entry as a driver failure, the bench API through LastError.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <string_view>

#include "sim/simulator.h"
#include "sim/unit_profile.h"

namespace {

// The last error lives in a fixed buffer: reporting a failure must not need
// memory, as running out of it may be the failure.
char g_lastError[1024] = "";
std::string g_profileNames;
std::string g_identification;

void SetLastError(std::string_view text) noexcept {
    std::size_t n = std::min(text.size(), sizeof g_lastError - 1);
    // Never cut a UTF-8 sequence in two.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(g_lastError, text.data(), n);
    g_lastError[n] = '\0';
}

void SetLastErrorFromException(const char* what) noexcept {
    std::snprintf(g_lastError, sizeof g_lastError, "simulator failure: %s", what);
    for (char* p = g_lastError; *p; ++p)
        if (static_cast<unsigned char>(*p) < 0x20 || static_cast<unsigned char>(*p) >= 0x7F) *p = '?';
}

// Runs the body of one export; false when it threw.
template <typename Body>
bool Try(Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        SetLastErrorFromException(e.what());
    } catch (...) {
        SetLastErrorFromException("unknown exception");
    }
    return false;
}

void GetBench(SimBench* out) {
    Try([&] {
        if (out) *out = sim::Sim().Bench();
    });
}

void SetBench(const SimBench* bench) {
    Try([&] {
        if (bench) sim::Sim().SetBench(*bench);
    });
}

double ReadAmmeter() {
    double amperes = std::numeric_limits<double>::quiet_NaN();  // no reading
    Try([&] { amperes = sim::Sim().ReadAmmeter(); });
    return amperes;
}

void ClearDevices() {
    Try([] { sim::Sim().ClearDevices(); });
}

std::int32_t AddCamera(const char* profile, const char* identification) {
    std::int32_t result = -1;
    Try([&] {
        if (profile == nullptr) {
            SetLastError("no unit profile given");
        } else if (sim::Sim().AddCamera(profile, identification ? identification : "") == 0) {
            SetLastError(sim::Printable(sim::Sim().LastError()));
        } else {
            result = 0;
        }
    });
    return result;
}

void AddForeignDevice() {
    Try([] { sim::Sim().AddForeignDevice(); });
}

const char* ProfileNames() {
    const bool done = Try([] {
        g_profileNames.clear();
        for (const std::string& name : sim::ProfileNames()) {
            if (!g_profileNames.empty()) g_profileNames += '\n';
            g_profileNames += name;
        }
    });
    return done ? g_profileNames.c_str() : "";
}

const char* ProfileIdentification(const char* profile) {
    const char* identification = nullptr;
    Try([&] {
        if (profile == nullptr) {
            SetLastError("no unit profile given");
            return;
        }
        std::string error;
        auto unit = sim::FindProfile(profile, &error);
        if (!unit) {
            SetLastError(error.empty() ? "no such unit profile" : error);
            return;
        }
        g_identification = unit->identification;
        identification = g_identification.c_str();
    });
    return identification;
}

const char* LastError() { return g_lastError; }

std::int32_t CameraCcdPower() {
    std::int32_t power = -1;
    Try([&] {
        for (std::uint32_t id : sim::Sim().AllDevices())
            if (const sim::Camera* camera = sim::Sim().CameraOf(id)) {
                power = camera->Modes().ccdPower ? 1 : 0;
                return;
            }
    });
    return power;
}

const SimBenchApi kApi = {SIM_BENCH_API_VERSION, GetBench,     SetBench,    ReadAmmeter,
                          ClearDevices,          AddCamera,    AddForeignDevice,
                          ProfileNames,          ProfileIdentification, LastError,
                          CameraCcdPower};

}  // namespace

namespace sim {

const SimBenchApi& BenchApi() { return kApi; }

std::uint32_t GuardedLvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    std::uint32_t result = LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_UNEXPECTED);
    Try([&] { result = LvDriverEntry(selector, block, driverHandle); });
    return result;
}

}  // namespace sim
