// Random sequences of the sixteen entry points, for the plug-in fuzz targets. Each target links the
// frame's entry points (frame/entry_points.cpp) with its plug-in's logic library and a fuzz module of
// its own in place of the plug-in's module.cpp: the same calls into the logic, but on a state and
// settings made fresh for every input, so that every finding replays from its input alone.
//
// The records carry what a host could send: NaN, infinities, the largest and smallest values, times
// that wrap, positions that jump, any notch, any beacon, any keyboard state; and, mixed in, frames
// that follow on from the last one (time and position moving on a little) so that the timed
// behaviour (closing doors, averaging intervals, the overspeed latch) is reached too.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>

#include "frame/host.h"
#include "fuzz/fuzz_input.h"
#include "platform/export.h"

// The entry points, as frame/entry_points.cpp defines them.
extern "C" {
void ATS_CALL Load();
void ATS_CALL Dispose();
std::int32_t ATS_CALL GetPluginVersion();
void ATS_CALL SetVehicleSpec(frame::VehicleSpec spec);
void ATS_CALL Initialize(std::int32_t brake);
frame::Handles ATS_CALL Elapse(frame::VehicleState state, std::int32_t* panel, std::int32_t* sound);
void ATS_CALL SetPower(std::int32_t notch);
void ATS_CALL SetBrake(std::int32_t notch);
void ATS_CALL SetReverser(std::int32_t position);
void ATS_CALL KeyDown(std::int32_t key);
void ATS_CALL KeyUp(std::int32_t key);
void ATS_CALL HornBlow(std::int32_t horn);
void ATS_CALL DoorOpen();
void ATS_CALL DoorClose();
void ATS_CALL SetSignal(std::int32_t aspect);
void ATS_CALL SetBeaconData(frame::BeaconData beacon);
}

// A broken invariant: says which and aborts, which libFuzzer reports with the input.
#define FUZZ_CHECK(condition, ...)                                      \
    do {                                                                \
        if (!(condition)) {                                             \
            std::fprintf(stderr, "invariant broken: %s: ", #condition); \
            std::fprintf(stderr, __VA_ARGS__);                          \
            std::fprintf(stderr, "\n");                                 \
            std::abort();                                               \
        }                                                               \
    } while (false)

namespace fuzz {

// Written into every slot before each frame: a slot that still holds it afterwards was not written.
inline constexpr std::int32_t kUntouched = -0x2BADF00D;

inline constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

// What the host has told the plug-in so far, as the checks need it.
struct HostSide {
    std::int32_t power = 0;  // the last SetPower, SetBrake, SetReverser (0 at load)
    std::int32_t brake = 0;
    std::int32_t reverser = 0;
    std::optional<frame::VehicleSpec> spec;  // the last SetVehicleSpec
    frame::VehicleState vehicle{};           // the record of the frame just run
    std::array<std::uint8_t, 256> keyboard{};
};

// The keyboard that the door target's module hands its logic at each frame.
inline std::array<std::uint8_t, 256> keyboard{};

inline std::int32_t anyNotch(Input& in) {
    static constexpr std::int32_t kSpecial[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, -1, kIntMax, kIntMax - 4, kIntMin};
    return in.flag() ? in.pick(kSpecial) : (in.flag() ? in.inRange(-3, 12) : in.i32());
}

inline std::int32_t anyInt(Input& in) {
    static constexpr std::int32_t kSpecial[] = {0,           1,           -1, kIntMax, kIntMin,
                                                kIntMax - 1, kIntMin + 1, 86, 87,      88};
    return in.flag() ? in.pick(kSpecial) : in.i32();
}

inline double anyDouble(Input& in) {
    static constexpr double kSpecial[] = {0.0,
                                          -0.0,
                                          1.0,
                                          -1.0,
                                          1e-300,
                                          4.9e-324,
                                          1.7976931348623157e308,
                                          -1.7976931348623157e308,
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::quiet_NaN(),
                                          -std::numeric_limits<double>::quiet_NaN(),
                                          2147483648.0,
                                          -2147483649.0};
    return in.flag() ? in.pick(kSpecial) : in.f64();
}

inline float anyFloat(Input& in) {
    static constexpr float kSpecial[] = {0.0F,
                                         -0.0F,
                                         5.0F,
                                         5.000001F,
                                         55.0F,
                                         55.00001F,
                                         130.0F,
                                         -130.0F,
                                         3.4028235e38F,
                                         -3.4028235e38F,
                                         1e-45F,
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::quiet_NaN()};
    return in.flag() ? in.pick(kSpecial) : in.f32();
}

// The next frame's record: each field either follows on from the last frame or is anything at all.
inline frame::VehicleState nextVehicle(Input& in, const frame::VehicleState& last) {
    frame::VehicleState v = last;
    const std::uint8_t how = in.byte();
    if (how & 1u) {
        v.time = frame::clockAdd(last.time, in.inRange(0, 2000));
    } else {
        static constexpr std::int32_t kTimes[] = {0, 1, -1, kIntMax, kIntMin, kIntMax - 999, -5000, 5001};
        v.time = in.flag() ? in.pick(kTimes) : in.i32();
    }
    if (how & 2u)
        v.position = last.position + static_cast<double>(in.inRange(-20, 235)) / 4.0;
    else
        v.position = anyDouble(in);
    if (how & 4u)
        v.speed = static_cast<float>(in.inRange(-40, 215));
    else
        v.speed = anyFloat(in);
    if (how & 8u) {
        v.bcPressure = anyFloat(in);
        v.mrPressure = anyFloat(in);
        v.erPressure = anyFloat(in);
        v.bpPressure = anyFloat(in);
        v.sapPressure = anyFloat(in);
        v.current = anyFloat(in);
    } else if (how & 16u) {
        v.bcPressure = static_cast<float>(in.inRange(0, 255)) * 2.5F;
        v.current = static_cast<float>(in.inRange(-128, 127)) * 3.5F;
    }
    return v;
}

// Runs the input as a sequence of entry-point calls, from the state at load; after every Elapse
// calls check(handles, panel, sound, host).
template <class Check>
void runCalls(Input& in, Check&& check) {
    // The entry points' latch of the driver's handles back to its state at load.
    SetPower(0);
    SetBrake(0);
    SetReverser(0);
    HostSide host;
    keyboard.fill(0);
    // The host's slot arrays, exactly 256 each, so that a write beyond them is an AddressSanitizer
    // finding.
    const auto panelSlots = std::make_unique<std::int32_t[]>(frame::kSlotCount);
    const auto soundSlots = std::make_unique<std::int32_t[]>(frame::kSlotCount);
    std::int32_t* panel = panelSlots.get();
    std::int32_t* sound = soundSlots.get();
    // A whole run has a bounded number of calls, so that an input is quick whatever its size.
    for (int call = 0; call < 4000 && !in.empty(); ++call) {
        switch (in.byte() % 20) {
            case 0:
                Load();
                break;
            case 1:
                Dispose();
                break;
            case 2:
                FUZZ_CHECK(GetPluginVersion() == frame::kInterfaceVersion, "version");
                break;
            case 3: {
                const frame::VehicleSpec spec{anyNotch(in), anyNotch(in), anyInt(in), anyInt(in), anyInt(in)};
                SetVehicleSpec(spec);
                host.spec = spec;
                break;
            }
            case 4:
                Initialize(anyInt(in));
                break;
            case 5:
                host.power = anyNotch(in);
                SetPower(host.power);
                break;
            case 6:
                host.brake = anyNotch(in);
                SetBrake(host.brake);
                break;
            case 7:
                host.reverser = in.flag() ? in.inRange(-1, 1) : anyInt(in);
                SetReverser(host.reverser);
                break;
            case 8:
                KeyDown(anyInt(in));
                break;
            case 9:
                KeyUp(anyInt(in));
                break;
            case 10:
                HornBlow(anyInt(in));
                break;
            case 11:
                DoorOpen();
                break;
            case 12:
                DoorClose();
                break;
            case 13:
                SetSignal(anyInt(in));
                break;
            case 14: {
                static constexpr std::int32_t kTypes[] = {86, 87, 88, 0, -1, 85, 89};
                frame::BeaconData beacon{};
                beacon.type = in.flag() ? in.pick(kTypes) : anyInt(in);
                beacon.signal = anyInt(in);
                beacon.distance = anyFloat(in);
                beacon.optional = in.flag() ? in.inRange(-600, 600) : anyInt(in);
                SetBeaconData(beacon);
                break;
            }
            case 15: {
                // A key of the keyboard goes down or up: one of the door keys, or any.
                static constexpr std::uint8_t kKeys[] = {0x52, 0x45, 0x54, 0x59};
                const std::uint8_t key = in.flag() ? in.pick(kKeys) : in.byte();
                keyboard[key] = in.flag() ? in.byte() : static_cast<std::uint8_t>(keyboard[key] ^ 0x80u);
                break;
            }
            case 16:
                for (auto& key : keyboard) key = in.byte();
                break;
            default: {
                host.vehicle = nextVehicle(in, host.vehicle);
                host.keyboard = keyboard;
                for (int i = 0; i < frame::kSlotCount; ++i) panel[i] = sound[i] = kUntouched;
                const frame::Handles out = Elapse(host.vehicle, panel, sound);
                check(out, panel, sound, host);
                break;
            }
        }
    }
}

// Whether a slot was written in the frame.
inline bool written(const std::int32_t* slots, int index) { return slots[index] != kUntouched; }

}  // namespace fuzz
