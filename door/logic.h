// Door control of the Tavrel plug-in: the driver opens the left or right doors, closes them and
// switches a door mode with four fixed keys; a closing with doors counted open takes the configured
// time; the power notch is held at 0 while the doors are not closed; beacons set a limit and the
// chances with which single doors open and close by themselves; lamps and sounds follow the doors.
//
// The state is one plain struct and every operation a free function over it, so a test builds a
// fresh state per case. The keyboard is not read here: the caller puts this frame's snapshot of
// the 256 virtual keys into DoorState::keyState before it calls elapse (door/module.cpp reads the
// platform's keyboard into it). Nothing else in a frame depends on the keyboard, so taking the
// snapshot just before the frame is the same as taking it at the key poll.
#pragma once

#include <array>
#include <cstdint>

#include "door/settings.h"
#include "frame/host.h"
#include "frame/plugin.h"

namespace door {

// The four polled keys (virtual-key codes), in the order of the poll. No other key is read, and
// the key names of section "Key" do not change them.
inline constexpr std::uint8_t KeyClose = 0x52;      // R: both open switches off
inline constexpr std::uint8_t KeyOpenLeft = 0x45;   // E: open the left doors
inline constexpr std::uint8_t KeyOpenRight = 0x54;  // T: open the right doors
inline constexpr std::uint8_t KeyDoorMode = 0x59;   // Y: switch the door mode
inline constexpr std::array<std::uint8_t, 4> kPolledKeys{KeyClose, KeyOpenLeft, KeyOpenRight, KeyDoorMode};

// A key byte of the snapshot with this bit set means the key is down.
inline constexpr std::uint8_t KeyDownBit = 0x80;

// Beacon types acted on; every other type is ignored.
inline constexpr std::int32_t BeaconOpenLimit = 86;    // optional: most doors counted open by chance
inline constexpr std::int32_t BeaconOpenChance = 87;   // optional: opening chance, sign: counting
inline constexpr std::int32_t BeaconCloseChance = 88;  // optional: closing chance

// Chances are per mille and capped here.
inline constexpr std::int32_t kMaxChance = 500;
// Above this absolute speed (km/h) the train counts as moving.
inline constexpr double kMovingSpeed = 5.0;
// Time between two chance checks while the doors are open, ms.
inline constexpr std::int32_t kCheckInterval = 5000;

// Panel slots.
inline constexpr int PanelDoorsClosed = 20;     // 1 while the doors are closed
inline constexpr int PanelRightOpen = 200;      // 1 while the right doors are open or closing
inline constexpr int PanelLeftOpen = 201;       // 1 while the left doors are open or closing
inline constexpr int PanelRightInMode1 = 202;   // right doors open in door mode 1
inline constexpr int PanelLeftInMode1 = 203;    // left doors open in door mode 1
inline constexpr int PanelDoorMode = 204;       // the door mode, 0 or 1
inline constexpr int PanelLeftSwitch = 205;     // the left open switch
inline constexpr int PanelRightSwitch = 206;    // the right open switch
inline constexpr int PanelOpenBlink = 207;      // second half of every second while both say open
inline constexpr int PanelHostDoorsOpen = 210;  // host's doors open with ours closed, after moving
inline constexpr int PanelMoving = 238;         // 1 while moving

// Sound slots.
inline constexpr int SoundStartMoving = 95;   // once when the train starts to move
inline constexpr int SoundStopped = 96;       // once when it comes to a stand
inline constexpr int SoundLeftOpen = 150;     // a left door opens (stopped when a timed closing starts)
inline constexpr int SoundRightOpen = 151;    // a right door opens (likewise)
inline constexpr int SoundLeftClose = 152;    // a timed closing starts, or a door closes by chance, left
inline constexpr int SoundRightClose = 153;   // the same on the right
inline constexpr int SoundDoorsClosed = 154;  // the doors have closed
inline constexpr int SoundDoorsOpened = 155;  // the doors have opened
inline constexpr int SoundKey = 156;          // R, E or T pressed, taken or not
inline constexpr int SoundModeSwitch = 157;   // the door mode changed
inline constexpr int SoundMode0Loop = 158;    // loops while the doors are open in door mode 0
inline constexpr int SoundMode1Loop = 159;    // loops while the doors are open in door mode 1

// The sound slots that carry a pending command, written at the end of a frame and then reset.
inline constexpr std::array<int, 10> kPendingSlots{
    SoundStartMoving, SoundStopped, 150, 151, 152, 153, 154, 155, 156, 157};

struct DoorState {
    std::int32_t leftOpenSwitch = 0;   // the driver's open switch for the left doors, 0 or 1
    std::int32_t rightOpenSwitch = 0;  // the same for the right doors
    std::int32_t doorSide = 0;         // side whose doors are open: -1 left, +1 right, 0 none
    std::int32_t doorMode = 0;         // the door mode that Y switches, 0 or 1
    std::int32_t closeDeadline = 0;    // frame time at which the running closing ends; 0: none
    bool doorsClosed = false;          // our doors-closed flag, brought up to date once per frame
    bool hostDoorsClosed = false;      // true after the host's DoorClose, false after DoorOpen
    bool doorlockActive = false;       // the close key waits for the host's doors; from SetVehicleSpec
    bool moving = false;               // the absolute speed was above 5 km/h in the last frame
    bool hasMoved = false;             // moving has been set since the last Initialize
    std::int32_t openCount = 0;        // doors counted open; nonzero makes a closing take time
    std::int32_t openLimit = 0;        // chance openings only while openCount is below this
    std::int32_t openChance = 0;       // per mille, at each check
    std::int32_t closeChance = 0;      // per mille, at each check
    bool countOnRelease = true;        // opening counts one door open and plays its sound
    std::int32_t nextCheckTime = 0;    // a chance check runs only in a frame later than this
    std::int32_t lastTime = 0;         // time of the previous frame
    float absSpeed = 0.0f;             // absolute speed of this frame, km/h
    std::array<std::uint8_t, 256> keyState{};        // this frame's keyboard snapshot
    std::array<std::uint8_t, 4> previousKeyState{};  // the polled keys' bytes at the last poll
    std::array<std::int32_t, kPendingSlots.size()> pendingSound{
        frame::SoundKeep, frame::SoundKeep, frame::SoundKeep, frame::SoundKeep, frame::SoundKeep,
        frame::SoundKeep, frame::SoundKeep, frame::SoundKeep, frame::SoundKeep, frame::SoundKeep};
    std::uint32_t randomState = 1;  // the generator: 1 at load, never seeded, kept by Initialize
};

// SetVehicleSpec: takes "doorlock" into the run. No field of the vehicle's record is read.
void setVehicleSpec(DoorState& state, const DoorSettings& settings);

// Initialize: starts a run from the closed state. Resets the switches, side, mode (to 1), movement,
// counts, opening chance, counting and check times, and takes openLimit from "DoorNum"; keeps the
// closing deadline, both doors-closed flags, the door lock, the closing chance, the keyboard bytes,
// the pending sounds and the generator.
void initialize(DoorState& state, const DoorSettings& settings);

// DoorOpen and DoorClose of the host: remember whether the host's doors are closed.
void doorOpen(DoorState& state);
void doorClose(DoorState& state);

// SetBeaconData: types 86, 87 and 88 set the open limit and the chances; others do nothing.
void setBeaconData(DoorState& state, const DoorSettings& settings, const frame::BeaconData& beacon);

// One frame, with state.keyState already holding this frame's keyboard snapshot. Writes panel
// slots 20, 200 to 207, 210 and 238 and sound slots 95, 96 and 150 to 159, and no other slot.
frame::Handles elapse(DoorState& state, const DoorSettings& settings, const frame::DriverHandles& driver,
                      const frame::VehicleState& vehicle, std::int32_t* panel, std::int32_t* sound);

// The next draw of the generator, 0 to 999. Used by the chance check; exposed for tests.
std::int32_t draw(DoorState& state);

}  // namespace door
