// The loader's stack check on 32-bit Windows: every entry point is called through a thunk that
// stops the program at the call when the entry point pops other than the bytes the caller pushed.
// The plug-ins' own library tests run through it too; here a library with two wrong exports.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "tools/host/plugin_library.h"

namespace {

std::unique_ptr<host::PluginLibrary> openWrongPops() {
    std::string error;
    auto library = host::PluginLibrary::open(ATS_BIN "/WrongPops.dll", &error);
    EXPECT_NE(library, nullptr) << error;
    return library;
}

TEST(StackCheck, RightEntryPointsGetTheirArgumentsAndReturnTheirResults) {
    auto library = openWrongPops();
    ASSERT_NE(library, nullptr);
    const host::EntryPoints& api = library->api();
    api.Load();
    EXPECT_EQ(api.GetPluginVersion(), frame::kInterfaceVersion);
    api.SetBrake(5);
    frame::VehicleState state{};
    state.position = 1234.75;
    state.speed = 81.5F;
    state.time = -7;
    state.current = -300.0F;
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    const frame::Handles handles = api.Elapse(state, panel, sound);
    EXPECT_EQ(handles.brake, 5);
    EXPECT_EQ(handles.power, -7);
    EXPECT_EQ(handles.reverser, 81);
    EXPECT_EQ(handles.constantSpeed, 2);
    EXPECT_EQ(panel[0], 1234);
    EXPECT_EQ(sound[0], -300);
    api.Dispose();
}

TEST(StackCheckDeathTest, AnEntryPointThatPopsTooManyBytesStopsAtTheCall) {
    auto library = openWrongPops();
    ASSERT_NE(library, nullptr);
    EXPECT_DEATH(library->api().SetPower(1),
                 "SetPower in .*WrongPops.dll popped 8 bytes of arguments where the caller pushed 4");
}

TEST(StackCheckDeathTest, AnEntryPointThatPopsTooFewBytesStopsAtTheCall) {
    auto library = openWrongPops();
    ASSERT_NE(library, nullptr);
    EXPECT_DEATH(library->api().SetBeaconData(frame::BeaconData{3, 1, 50.0F, 120}),
                 "SetBeaconData in .*WrongPops.dll popped 4 bytes of arguments where the caller pushed 16");
}

}  // namespace
