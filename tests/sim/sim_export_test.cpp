// The shared driver library as the station loads it: its two exports, and a
// simulator of its own behind them.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/library.h"
#include "sim/simulator.h"

namespace {

TEST(SimExport, LibraryOffersTheDriverEntryAndTheBenchApi) {
    std::string error;
    auto lib = platform::SharedLibrary::Open(LVX_DRIVER_LIBRARY_NAME, &error);
    if (!lib) GTEST_SKIP() << "driver library not built beside the tests: " << error;
    auto entry = lib->Function<LvDriverEntryFn>(LVX_DRIVER_ENTRY_NAME);
    auto getApi = lib->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY);
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(getApi, nullptr);
    EXPECT_EQ(getApi(SIM_BENCH_API_VERSION + 1), nullptr);
    const SimBenchApi* api = getApi(SIM_BENCH_API_VERSION);
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(getApi(1), api);  // the table only grew at its end
    EXPECT_EQ(getApi(0), nullptr);

    LvxOpenDriverBlock open{};
    std::memcpy(open.version, LVX_DRIVER_VERSION, 4);
    ASSERT_EQ(entry(LVX_SEL_OPEN_DRIVER, &open, 0), 0u);
    auto count = [&] {
        LvxDeviceListBlock ask{LVX_DEVICELIST_TAG, 0, nullptr};
        EXPECT_EQ(entry(LVX_SEL_GET_DEVICELIST, &ask, open.driverHandle), 0u);
        return ask.count;
    };
    EXPECT_EQ(count(), 1u);

    // The bench API drives the library's own simulator, not this program's.
    api->ClearDevices();
    EXPECT_EQ(api->AddCamera("nominal", nullptr), 0);
    EXPECT_EQ(api->AddCamera("nominal", "W73T000000042"), 0);
    api->AddForeignDevice();
    EXPECT_EQ(count(), 3u);
    EXPECT_EQ(api->CameraCcdPower(), 0);  // off until the station switches it on
    EXPECT_EQ(sim::Sim().AllDevices().size(), 1u);
    EXPECT_EQ(api->AddCamera("no-such-unit", nullptr), -1);
    EXPECT_STRNE(api->LastError(), "");

    SimBench b{};
    api->GetBench(&b);
    b.usbPlugged = 0;
    b.power = SIM_POWER_BATTERY_TOOL;  // the ammeter is in the supply line of the battery tool
    api->SetBench(&b);
    EXPECT_EQ(count(), 1u);  // only the other maker's device
    EXPECT_GT(api->ReadAmmeter(), 0.0);
    api->ClearDevices();
    api->AddForeignDevice();
    EXPECT_EQ(api->CameraCcdPower(), -1);

    const std::string names = api->ProfileNames();
    EXPECT_NE(names.find("nominal"), std::string::npos);
    const char* ident = api->ProfileIdentification("nominal");
    ASSERT_NE(ident, nullptr);
    EXPECT_EQ(std::strlen(ident), 13u);
    EXPECT_EQ(api->ProfileIdentification("no-such-unit"), nullptr);

    LvxCloseDriverBlock close{};
    EXPECT_EQ(entry(LVX_SEL_CLOSE_DRIVER, &close, open.driverHandle), 0u);
}

// Running out of memory inside a call of the bench API is a failure it
// reports, not an exception that crosses into its C caller.
TEST(SimExport, NoExceptionLeavesTheBenchApi) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address space limit does not go with the sanitizer";
#else
    auto lib = platform::SharedLibrary::Open(LVX_DRIVER_LIBRARY_NAME);
    if (!lib) GTEST_SKIP() << "driver library not built beside the tests";
    const SimBenchApi* api = lib->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY)(SIM_BENCH_API_VERSION);
    ASSERT_NE(api, nullptr);
    EXPECT_EXIT(
        {
            // A profile name that the library cannot copy within what is left.
            const std::string name(64 << 20, 'n');
            std::size_t pages = 0;
            std::FILE* statm = std::fopen("/proc/self/statm", "r");
            if (!statm || std::fscanf(statm, "%zu", &pages) != 1) std::_Exit(3);
            std::fclose(statm);
            rlimit limit{};
            ::getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + (16 << 20);
            if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(4);
            const bool refused = api->AddCamera(name.c_str(), nullptr) == -1;
            const bool told = std::strstr(api->LastError(), "simulator failure: ") == api->LastError();
            std::_Exit(refused && told ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
