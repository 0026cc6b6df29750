// See door/logic.h.
#include "door/logic.h"

#include <atomic>
#include <cstddef>

namespace door {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

static_assert(PanelMoving < frame::kSlotCount && SoundMode1Loop < frame::kSlotCount);

// The chance a beacon asks for: its absolute value, at most 500 per mille. Taken in 64 bits, so
// the most negative 32-bit value gives the cap instead of overflowing.
std::int32_t chanceOf(std::int32_t optional) {
    std::int64_t magnitude = optional;
    if (magnitude < 0) magnitude = -magnitude;
    return magnitude < kMaxChance ? static_cast<std::int32_t>(magnitude) : kMaxChance;
}

std::size_t pendingIndex(int slot) {
    for (std::size_t i = 0; i < kPendingSlots.size(); ++i) {
        if (kPendingSlots[i] == slot) return i;
    }
    return 0;  // never reached: every caller names one of kPendingSlots
}

void setPending(DoorState& state, int slot, std::int32_t command) {
    state.pendingSound[pendingIndex(slot)] = command;
}

// A key counts as pressed when it is down in this snapshot and was up at the previous poll.
bool pressed(const DoorState& state, std::size_t polledIndex) {
    const std::uint8_t now = state.keyState[kPolledKeys[polledIndex]];
    const std::uint8_t before = state.previousKeyState[polledIndex];
    return (now & KeyDownBit) != 0 && (before & KeyDownBit) == 0;
}

// E opens the left doors and T the right ones, under the same conditions; the key sound plays
// whether or not the command is taken.
void openCommand(DoorState& state, bool left) {
    if (!state.moving && state.doorSide == 0 && state.leftOpenSwitch == 0 && state.rightOpenSwitch == 0) {
        state.leftOpenSwitch = left ? 1 : 0;
        state.rightOpenSwitch = left ? 0 : 1;
        state.closeDeadline = 0;
    }
    setPending(state, SoundKey, frame::SoundOnce);
}

// The key poll sees the doors as the previous frame left them; each command tests the state as the
// commands polled before it left it.
void pollKeys(DoorState& state) {
    if (pressed(state, 0)) {  // R
        if (state.closeDeadline == 0 && !state.doorsClosed &&
            (state.hostDoorsClosed || !state.doorlockActive)) {
            state.leftOpenSwitch = 0;
            state.rightOpenSwitch = 0;
        }
        setPending(state, SoundKey, frame::SoundOnce);
    }
    // E is tested before T, so pressing both opens the left doors: T then finds a switch on.
    if (pressed(state, 1)) openCommand(state, true);   // E
    if (pressed(state, 2)) openCommand(state, false);  // T
    if (pressed(state, 3) && state.doorSide == 0) {    // Y
        state.doorMode = state.doorMode == 1 ? 0 : 1;
        setPending(state, SoundModeSwitch, frame::SoundOnce);
    }
    for (std::size_t i = 0; i < kPolledKeys.size(); ++i)
        state.previousKeyState[i] = state.keyState[kPolledKeys[i]];
}

// While the doors are open, at most one chance event per check: a door opens, or else one closes.
void chanceCheck(DoorState& state, std::int32_t now) {
    const bool chancesOn = state.openChance > 0 && state.closeChance > 0;
    const bool left = state.doorSide < 0;
    bool opened = false;
    if (state.openCount < state.openLimit) {
        const std::int32_t r = draw(state);  // used up even when a chance is 0
        if (r < state.openChance && chancesOn) {
            state.openCount += 1;
            setPending(state, left ? SoundLeftOpen : SoundRightOpen, frame::SoundOnce);
            opened = true;
        }
    }
    if (!opened && state.openCount > 0) {
        const std::int32_t r = draw(state);
        if (r < state.closeChance && chancesOn) {
            state.openCount -= 1;
            setPending(state, left ? SoundLeftClose : SoundRightClose, frame::SoundOnce);
        }
    }
    state.nextCheckTime = frame::clockAdd(now, kCheckInterval);
}

void writeOutputs(const DoorState& state, std::int32_t now, std::int32_t* panel, std::int32_t* sound) {
    const std::int32_t sideInMode = state.doorSide * state.doorMode;
    // Truncating division: for a negative clock the lamp follows the same rule.
    const bool secondHalf = (now % 1000) / 500 != 0;
    panel[PanelRightOpen] = state.doorSide > 0 ? 1 : 0;
    panel[PanelLeftOpen] = state.doorSide < 0 ? 1 : 0;
    panel[PanelRightInMode1] = sideInMode > 0 ? 1 : 0;
    panel[PanelLeftInMode1] = sideInMode < 0 ? 1 : 0;
    panel[PanelDoorsClosed] = state.doorsClosed ? 1 : 0;
    panel[PanelDoorMode] = state.doorMode;
    panel[PanelLeftSwitch] = state.leftOpenSwitch;
    panel[PanelRightSwitch] = state.rightOpenSwitch;
    panel[PanelOpenBlink] = secondHalf && !state.hostDoorsClosed && !state.doorsClosed ? 1 : 0;
    panel[PanelHostDoorsOpen] = state.doorsClosed && !state.hostDoorsClosed && state.hasMoved ? 1 : 0;
    panel[PanelMoving] = state.moving ? 1 : 0;

    for (std::size_t i = 0; i < kPendingSlots.size(); ++i) sound[kPendingSlots[i]] = state.pendingSound[i];
    const bool open = !state.doorsClosed;
    sound[SoundMode0Loop] = open && state.doorMode == 0 ? frame::SoundLoop : frame::SoundStop;
    sound[SoundMode1Loop] = open && state.doorMode == 1 ? frame::SoundLoop : frame::SoundStop;
}

}  // namespace

void setVehicleSpec(DoorState& state, const DoorSettings& settings) {
    state.doorlockActive = settings.doorlock.load(kRelaxed) != 0;
}

void initialize(DoorState& state, const DoorSettings& settings) {
    state.leftOpenSwitch = 0;
    state.rightOpenSwitch = 0;
    state.doorSide = 0;
    state.doorMode = 1;
    state.moving = false;
    state.hasMoved = false;
    state.openCount = 0;
    state.openLimit = settings.DoorNum.load(kRelaxed);
    state.openChance = 0;
    state.countOnRelease = true;
    state.nextCheckTime = 0;
    state.lastTime = 0;
    state.absSpeed = 0.0f;
}

void doorOpen(DoorState& state) { state.hostDoorsClosed = false; }
void doorClose(DoorState& state) { state.hostDoorsClosed = true; }

void setBeaconData(DoorState& state, const DoorSettings& settings, const frame::BeaconData& beacon) {
    switch (beacon.type) {
        case BeaconOpenLimit: {
            const std::int32_t doorNum = settings.DoorNum.load(kRelaxed);
            state.openLimit = beacon.optional < doorNum ? beacon.optional : doorNum;
            break;
        }
        case BeaconOpenChance:
            state.openChance = chanceOf(beacon.optional);
            state.countOnRelease = beacon.optional <= 0;
            break;
        case BeaconCloseChance:
            state.closeChance = chanceOf(beacon.optional);
            break;
        default:
            break;
    }
}

std::int32_t draw(DoorState& state) {
    state.randomState = state.randomState * 214013u + 2531011u;
    const std::uint32_t value = (state.randomState >> 16) & 0x7FFFu;
    return static_cast<std::int32_t>(value % 1000u);
}

frame::Handles elapse(DoorState& state, const DoorSettings& settings, const frame::DriverHandles& driver,
                      const frame::VehicleState& vehicle, std::int32_t* panel, std::int32_t* sound) {
    const std::int32_t now = vehicle.time;

    // Time.
    const std::int32_t prev = state.lastTime;
    state.lastTime = now;

    // Speed. A NaN stays NaN and fails both tests of the speed flag below.
    state.absSpeed = static_cast<double>(vehicle.speed) < 0.0 ? -vehicle.speed : vehicle.speed;

    // Handles, from the doors as the previous frame left them: the power cut starts in the frame
    // after the doors open and ends in the frame after they close.
    const bool cutPower = settings.DIR.load(kRelaxed) != 0 && !state.doorsClosed;
    const frame::Handles handles{driver.brake, cutPower ? 0 : driver.power, driver.reverser,
                                 frame::ConstantSpeedKeep};

    pollKeys(state);

    // Side. After the close key both switches are off and the side stays until the closing ends.
    if (state.leftOpenSwitch != 0 && state.rightOpenSwitch == 0) {
        state.doorSide = -1;
    } else if (state.leftOpenSwitch == 0 && state.rightOpenSwitch != 0) {
        state.doorSide = +1;
    }

    // Closing start: with doors counted open it takes closetime, without it ends in this frame.
    if (state.leftOpenSwitch == 0 && state.rightOpenSwitch == 0 && state.closeDeadline == 0 &&
        state.doorSide != 0) {
        if (state.openCount != 0) {
            state.closeDeadline = frame::clockAdd(now, settings.closetime.load(kRelaxed));
            setPending(state, state.doorSide < 0 ? SoundLeftClose : SoundRightClose, frame::SoundOnce);
            setPending(state, SoundLeftOpen, frame::SoundStop);
            setPending(state, SoundRightOpen, frame::SoundStop);
        } else {
            state.closeDeadline = now;
        }
        state.openCount = 0;
    }

    // Closing end.
    if (state.closeDeadline != 0 && state.closeDeadline <= now) {
        state.doorSide = 0;
        state.closeDeadline = 0;
    }

    // Door state.
    if (state.doorSide != 0) {
        if (state.doorsClosed) {
            setPending(state, SoundDoorsOpened, frame::SoundOnce);
            if (state.countOnRelease) {
                state.openCount += 1;
                setPending(state, state.doorSide < 0 ? SoundLeftOpen : SoundRightOpen, frame::SoundOnce);
            }
        }
        state.doorsClosed = false;
    } else {
        if (!state.doorsClosed) setPending(state, SoundDoorsClosed, frame::SoundOnce);
        state.doorsClosed = true;
    }

    // Chance check. While the doors are closed or closing, the next check moves to the previous
    // frame's time plus the interval whenever the clock passes it.
    if (!state.doorsClosed && state.closeDeadline == 0 && now > state.nextCheckTime) {
        chanceCheck(state, now);
    } else if (now > state.nextCheckTime) {
        state.nextCheckTime = frame::clockAdd(prev, kCheckInterval);
    }

    // Speed flag; a NaN speed fails both tests and changes nothing.
    const double speed = static_cast<double>(state.absSpeed);
    if (speed <= kMovingSpeed && state.moving) {
        state.moving = false;
        setPending(state, SoundStopped, frame::SoundOnce);
    } else if (speed > kMovingSpeed && !state.moving) {
        state.moving = true;
        state.hasMoved = true;
        setPending(state, SoundStartMoving, frame::SoundOnce);
    }

    writeOutputs(state, now, panel, sound);
    state.pendingSound.fill(frame::SoundKeep);
    return handles;
}

}  // namespace door
