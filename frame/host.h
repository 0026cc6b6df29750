// The records and command values that cross the host boundary, with their byte layouts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace frame {

// Argument of SetVehicleSpec.
struct VehicleSpec {
    std::int32_t brakeNotches;  // service brake notches; the emergency notch is one above
    std::int32_t powerNotches;
    // Three further fields that no plug-in reads; the host fills them with its own vehicle data.
    std::int32_t extra1;
    std::int32_t extra2;
    std::int32_t extra3;
};

// First argument of Elapse: the vehicle's state in this frame.
struct VehicleState {
    double position;    // m
    float speed;        // km/h, negative when running backwards
    std::int32_t time;  // ms, the simulation clock
    float bcPressure;   // brake cylinder
    float mrPressure;   // main reservoir
    float erPressure;   // equalising reservoir
    float bpPressure;   // brake pipe
    float sapPressure;  // straight air pipe
    float current;      // traction current, with its sign
};

// Argument of SetBeaconData.
struct BeaconData {
    std::int32_t type;
    std::int32_t signal;    // not read by any plug-in
    float distance;         // not read by any plug-in
    std::int32_t optional;  // the number the beacon carries
};

// Result of Elapse: what the train must obey.
struct Handles {
    std::int32_t brake;
    std::int32_t power;
    std::int32_t reverser;
    std::int32_t constantSpeed;
};

static_assert(sizeof(VehicleSpec) == 20 && alignof(VehicleSpec) <= 4);
static_assert(offsetof(VehicleSpec, brakeNotches) == 0 && offsetof(VehicleSpec, powerNotches) == 4 &&
              offsetof(VehicleSpec, extra1) == 8 && offsetof(VehicleSpec, extra2) == 12 &&
              offsetof(VehicleSpec, extra3) == 16);
static_assert(sizeof(VehicleState) == 40);
static_assert(offsetof(VehicleState, position) == 0 && offsetof(VehicleState, speed) == 8 &&
              offsetof(VehicleState, time) == 12 && offsetof(VehicleState, bcPressure) == 16 &&
              offsetof(VehicleState, mrPressure) == 20 && offsetof(VehicleState, erPressure) == 24 &&
              offsetof(VehicleState, bpPressure) == 28 && offsetof(VehicleState, sapPressure) == 32 &&
              offsetof(VehicleState, current) == 36);
static_assert(sizeof(BeaconData) == 16);
static_assert(offsetof(BeaconData, type) == 0 && offsetof(BeaconData, signal) == 4 &&
              offsetof(BeaconData, distance) == 8 && offsetof(BeaconData, optional) == 12);
static_assert(sizeof(Handles) == 16);
static_assert(offsetof(Handles, brake) == 0 && offsetof(Handles, power) == 4 &&
              offsetof(Handles, reverser) == 8 && offsetof(Handles, constantSpeed) == 12);

// The panel and sound arrays: 256 slots each, owned by the host and valid during one Elapse.
inline constexpr int kSlotCount = 256;

// Sound commands, written into sound slots.
inline constexpr std::int32_t SoundStop = -10000;
inline constexpr std::int32_t SoundLoop = 0;
inline constexpr std::int32_t SoundOnce = 1;
inline constexpr std::int32_t SoundKeep = 2;

// Constant-speed commands, returned in Handles::constantSpeed.
inline constexpr std::int32_t ConstantSpeedKeep = 0;
inline constexpr std::int32_t ConstantSpeedOff = 2;

// The interface version every plug-in reports: 2 in the upper 16 bits.
inline constexpr std::int32_t kInterfaceVersion = 0x20000;

// The simulation clock is a signed 32-bit millisecond count that may wrap: sums and differences of
// times are taken modulo 2^32 (through unsigned arithmetic, never signed overflow), and the results
// are compared as signed values.
constexpr std::int32_t clockAdd(std::int32_t time, std::int32_t delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(time) + static_cast<std::uint32_t>(delta));
}
constexpr std::int32_t clockDifference(std::int32_t later, std::int32_t earlier) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier));
}
static_assert(clockAdd(2147483647, 1) == -2147483647 - 1 &&
              clockDifference(-2147483647 - 1, 2147483647) == 1);

// Writes a slot whose index comes from outside the code (a setting): indices beyond 0..255 are
// skipped, so no array is ever written out of its bounds.
inline void writeSlot(std::int32_t* slots, std::int32_t index, std::int32_t value) {
    if (index >= 0 && index < kSlotCount) slots[index] = value;
}

}  // namespace frame
