// The two exports of the simulated driver library: the driver entry and the
// bench API. Everything else stays hidden.

#include <string>

#include "sim/simulator.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::string g_lastError;
std::string g_profileNames;
std::string g_identification;

void GetBench(SimBench* out) {
    if (out) *out = sim::Sim().Bench();
}

void SetBench(const SimBench* bench) {
    if (bench) sim::Sim().SetBench(*bench);
}

double ReadAmmeter() { return sim::Sim().ReadAmmeter(); }

void ClearDevices() { sim::Sim().ClearDevices(); }

std::int32_t AddCamera(const char* profile, const char* identification) {
    if (profile == nullptr) {
        g_lastError = "no unit profile given";
        return -1;
    }
    if (sim::Sim().AddCamera(profile, identification ? identification : "") == 0) {
        g_lastError = sim::Sim().LastError();
        return -1;
    }
    return 0;
}

void AddForeignDevice() { sim::Sim().AddForeignDevice(); }

const char* ProfileNames() {
    g_profileNames.clear();
    for (const std::string& name : sim::ProfileNames()) {
        if (!g_profileNames.empty()) g_profileNames += '\n';
        g_profileNames += name;
    }
    return g_profileNames.c_str();
}

const char* ProfileIdentification(const char* profile) {
    if (profile == nullptr) return nullptr;
    std::string error;
    auto unit = sim::FindProfile(profile, &error);
    if (!unit) {
        g_lastError = error.empty() ? std::string("no such unit profile: ") + profile : error;
        return nullptr;
    }
    g_identification = unit->identification;
    return g_identification.c_str();
}

const char* LastError() { return g_lastError.c_str(); }

const SimBenchApi kApi = {SIM_BENCH_API_VERSION, GetBench,     SetBench,    ReadAmmeter,
                          ClearDevices,          AddCamera,    AddForeignDevice,
                          ProfileNames,          ProfileIdentification, LastError};

}  // namespace

SIM_EXPORT std::uint32_t LvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    return sim::LvDriverEntry(selector, block, driverHandle);
}

SIM_EXPORT const SimBenchApi* SimGetBenchApi(std::uint32_t version) {
    return version == SIM_BENCH_API_VERSION ? &kApi : nullptr;
}
