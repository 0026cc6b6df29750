// The records the host's thread puts into the ring and the writer thread turns into scenario text.
// Plain bytes: a record is copied in with memcpy and read back the same way.
#pragma once

#include <cstdint>

#include "frame/host.h"

namespace recorder {

enum class RecordKind : std::uint32_t { Call = 1, Frame = 2, Lost = 3 };

// The entry points other than Elapse, in the order of the host's table.
enum class Call : std::uint32_t {
    Load,
    Dispose,
    GetPluginVersion,
    SetVehicleSpec,
    Initialize,
    SetPower,
    SetBrake,
    SetReverser,
    KeyDown,
    KeyUp,
    HornBlow,
    DoorOpen,
    DoorClose,
    SetSignal,
    SetBeaconData,
};

// A call with its arguments (SetVehicleSpec: five fields; SetBeaconData: type, signal, the bits of
// distance, optional) or, for GetPluginVersion, its result.
struct CallRecord {
    RecordKind kind = RecordKind::Call;
    Call call;
    std::int32_t values[5];
};

// A frame: the state passed in, the handles returned, then keyCount (key, state) byte pairs for the
// keys whose state changed since the last frame, padded to 4 bytes, then panelCount and soundCount
// (slot, value) pairs of 32-bit numbers for the slots the plug-in wrote.
struct FrameHead {
    RecordKind kind = RecordKind::Frame;
    std::uint32_t keyCount;
    std::uint32_t panelCount;
    std::uint32_t soundCount;
    frame::VehicleState state;
    frame::Handles handles;
};

struct SlotWrite {
    std::int32_t slot;
    std::int32_t value;
};

// Records that did not fit in the ring, counted before the record that next fits.
struct LostRecord {
    RecordKind kind = RecordKind::Lost;
    std::uint32_t count;
};

// The largest frame record: every key changed, every slot written.
inline constexpr std::uint32_t kMaxFrameRecord =
    sizeof(FrameHead) + 256 * 2 + 2 * frame::kSlotCount * sizeof(SlotWrite);

}  // namespace recorder
