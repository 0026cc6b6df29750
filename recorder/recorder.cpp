// The recorder: a plug-in that loads the real plug-in its INI file names, forwards each of the
// sixteen calls to it unchanged, returns what it returns, and records every call, frame, key and
// slot write as a scenario the bench replays (docs/recorder.md).
//
// Threads. The host's thread makes the calls; each is recorded into a ring allocated at the start
// of the session, which a writer thread drains into scenario text and writes to the recording file
// every few seconds and at the end. Elapse itself only copies: no file, allocation, lock or system
// call. The real plug-in is loaded at the host's first call other than Elapse (normally Load), never
// while the recorder itself is being loaded, so no loader lock is held.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "frame/host.h"
#include "frame/plugin.h"
#include "frame/startup.h"
#include "platform/export.h"
#include "platform/keyboard.h"
#include "platform/loader.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "recorder/records.h"
#include "recorder/ring.h"
#include "recorder/scenario_text.h"
#include "recorder/system.h"

using frame::BeaconData;
using frame::Handles;
using frame::VehicleSpec;
using frame::VehicleState;

ATS_EXPORT void ATS_CALL Load();

namespace recorder {
namespace {

// The value put into the recorder's own panel and sound arrays before each frame of the real
// plug-in: a slot that still holds it afterwards was not written. The bench uses the same mark.
constexpr std::int32_t kMark = 0x7A7A7A7A;
constexpr std::size_t kRingBytes = std::size_t{1} << 22;  // 4 MiB: about 15 000 frames of 23 slot writes
constexpr std::size_t kMaxIniBytes = 1 << 20;

struct RealPlugin {
    void(ATS_CALL* Load)();
    void(ATS_CALL* Dispose)();
    std::int32_t(ATS_CALL* GetPluginVersion)();
    void(ATS_CALL* SetVehicleSpec)(VehicleSpec);
    void(ATS_CALL* Initialize)(std::int32_t);
    Handles(ATS_CALL* Elapse)(VehicleState, std::int32_t*, std::int32_t*);
    void(ATS_CALL* SetPower)(std::int32_t);
    void(ATS_CALL* SetBrake)(std::int32_t);
    void(ATS_CALL* SetReverser)(std::int32_t);
    void(ATS_CALL* KeyDown)(std::int32_t);
    void(ATS_CALL* KeyUp)(std::int32_t);
    void(ATS_CALL* HornBlow)(std::int32_t);
    void(ATS_CALL* DoorOpen)();
    void(ATS_CALL* DoorClose)();
    void(ATS_CALL* SetSignal)(std::int32_t);
    void(ATS_CALL* SetBeaconData)(BeaconData);
};

// Module state, from the first call of a session to Dispose.
bool started = false;     // a session was begun (whether or not the real plug-in loaded)
void* library = nullptr;  // the real plug-in, while it is loaded
RealPlugin real{};        // its entry points, valid while library is set
std::unique_ptr<ByteRing> ring;
std::thread writer;
std::atomic<bool> stopWriter{false};
std::uint32_t pendingLost = 0;  // records that did not fit since the last one that did
frame::DriverHandles driver;    // the handles passed through while there is no real plug-in
std::string logPath;

// Frame scratch, kept out of the stack and allocated once.
std::array<std::int32_t, frame::kSlotCount> ownPanel;
std::array<std::int32_t, frame::kSlotCount> ownSound;
std::array<std::uint8_t, 256> keyboard;
std::array<std::uint8_t, 256> lastKeyboard;
alignas(8) unsigned char scratch[kMaxFrameRecord];

std::string now() {
    const std::time_t t = std::time(nullptr);
    char text[32] = "?";
    if (const std::tm* local = std::localtime(&t))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

void log(const std::string& line) {
    // A log that cannot be written is not looked at: the run goes on.
    if (!logPath.empty()) appendToFile(logPath, now() + "  " + line + "\n");
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool isAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '/' || path[0] == '\\')) || (path.size() > 2 && path[1] == ':');
}

std::string stemOf(const std::string& path) {
    const std::size_t start = path.find_last_of("/\\") + 1;  // npos + 1 == 0
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot <= start ? path.substr(start) : path.substr(start, dot - start);
}

std::string setting(const std::string& ini, const char* key, const char* fallback) {
    char value[1024];
    platform::profileString("Recorder", key, fallback, value, sizeof value, ini.c_str());
    return value;
}

template <class Fn>
void bind(const char* name, Fn& target, std::string& missing) {
    void* symbol = findSymbol(library, name);
    if (symbol == nullptr) {
        missing += missing.empty() ? name : std::string(", ") + name;
        return;
    }
    static_assert(sizeof(symbol) == sizeof(target));
    std::memcpy(&target, &symbol, sizeof(target));
}

// Resolves the sixteen entry points; the names of those missing, or an empty string.
std::string bindAll() {
    std::string missing;
    bind("Load", real.Load, missing);
    bind("Dispose", real.Dispose, missing);
    bind("GetPluginVersion", real.GetPluginVersion, missing);
    bind("SetVehicleSpec", real.SetVehicleSpec, missing);
    bind("Initialize", real.Initialize, missing);
    bind("Elapse", real.Elapse, missing);
    bind("SetPower", real.SetPower, missing);
    bind("SetBrake", real.SetBrake, missing);
    bind("SetReverser", real.SetReverser, missing);
    bind("KeyDown", real.KeyDown, missing);
    bind("KeyUp", real.KeyUp, missing);
    bind("HornBlow", real.HornBlow, missing);
    bind("DoorOpen", real.DoorOpen, missing);
    bind("DoorClose", real.DoorClose, missing);
    bind("SetSignal", real.SetSignal, missing);
    bind("SetBeaconData", real.SetBeaconData, missing);
    return missing;
}

bool readSmallFile(const std::string& path, std::string* contents, bool* tooLarge) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (contents->size() + n > kMaxIniBytes) {
            *tooLarge = true;
            break;
        }
        contents->append(buffer, n);
    }
    std::fclose(file);
    return true;
}

void push(const void* record, std::uint32_t size) {
    if (!ring) return;
    if (pendingLost > 0) {
        const LostRecord lost{RecordKind::Lost, pendingLost};
        if (!ring->push(&lost, sizeof lost)) {
            ++pendingLost;
            return;
        }
        pendingLost = 0;
    }
    if (!ring->push(record, size)) ++pendingLost;
}

void recordCall(Call call, std::int32_t a = 0, std::int32_t b = 0, std::int32_t c = 0, std::int32_t d = 0,
                std::int32_t e = 0) {
    const CallRecord record{RecordKind::Call, call, {a, b, c, d, e}};
    push(&record, sizeof record);
}

void writerLoop(ByteRing* queue, RecordingHeader header, std::string path, int everySeconds) {
    ScenarioText text;
    auto lastWrite = std::chrono::steady_clock::now();
    bool wroteOnce = false;
    for (;;) {
        const bool last = stopWriter.load(std::memory_order_acquire);
        queue->drain([&](const unsigned char* record, std::size_t size) { text.add(record, size); });
        const auto t = std::chrono::steady_clock::now();
        if (last || t - lastWrite >= std::chrono::seconds(everySeconds)) {
            const bool ok = writeFileAtomically(path, text.file(header));
            if (!ok || !wroteOnce || last) {
                log((ok ? "wrote " : "cannot write ") + path + ": " + std::to_string(text.frames()) +
                    " frame(s), " + std::to_string(text.lost()) + " record(s) lost");
            }
            wroteOnce = wroteOnce || ok;
            lastWrite = t;
        }
        if (last) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Begins a session: reads the recorder's INI file, starts the writer, loads the real plug-in.
// Without a usable real plug-in the recorder passes the driver's handles through and records nothing.
void start() {
    started = true;
    const std::string self = platform::modulePath();
    const std::string ini = frame::iniPathFor(self);
    logPath = self.empty() ? std::string() : folderOf(self) + stemOf(self) + ".log";
    if (ini.empty()) return;
    const std::string plugin = setting(ini, "Plugin", "");
    if (plugin.empty()) {
        log("no plug-in to record: " + ini +
            (platform::fileExists(ini.c_str()) ? " names none" : " is missing") +
            " (section [Recorder], key Plugin)");
        return;
    }
    const std::string pluginPath = isAbsolute(plugin) ? plugin : folderOf(self) + plugin;
    std::string recording = setting(ini, "Recording", "");
    if (recording.empty()) {
        const std::time_t t = std::time(nullptr);
        char stamp[32] = "recording";
        if (const std::tm* local = std::localtime(&t))
            std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", local);
        recording = stemOf(pluginPath) + "-" + stamp + ".scn";
    }
    if (!isAbsolute(recording)) recording = folderOf(self) + recording;
    int every = platform::profileInt("Recorder", "WriteEvery", 10, ini.c_str());
    if (every < 1) every = 1;

    // The writer thread starts before the real plug-in loads and ends after it is unloaded, so the
    // real plug-in is told of no thread of ours: it sees the host's threads only.
    ring = std::make_unique<ByteRing>(kRingBytes);
    stopWriter.store(false);
    pendingLost = 0;
    std::string why;
    library = loadLibrary(pluginPath, &why);
    if (library == nullptr) {
        log("cannot record " + pluginPath + ": " + why + "; the recorder does nothing");
        ring.reset();
        return;
    }
    const std::string missing = bindAll();
    void* ownLoad = nullptr;
    void(ATS_CALL * self_load)() = &::Load;
    std::memcpy(&ownLoad, &self_load, sizeof ownLoad);
    void* theirLoad = nullptr;
    std::memcpy(&theirLoad, &real.Load, sizeof theirLoad);
    if (!missing.empty() || theirLoad == ownLoad) {
        log("cannot record " + pluginPath + ": " +
            (missing.empty() ? std::string("it is this recorder")
                             : "not a plug-in: missing entry points " + missing) +
            "; the recorder does nothing");
        unloadLibrary(library);
        library = nullptr;
        ring.reset();
        return;
    }

    RecordingHeader header;
    header.plugin = stemOf(pluginPath);
    header.pluginPath = pluginPath;
    header.started = now();
    bool tooLarge = false;
    header.hasIni = readSmallFile(frame::iniPathFor(pluginPath), &header.ini, &tooLarge);
    header.atsIniPresent = platform::fileExists("./ATS.ini");
    if (tooLarge) log("the plug-in's INI file is larger than 1 MiB: only its start is recorded");
    keyboard.fill(0);
    lastKeyboard.fill(0);
    log("recording " + pluginPath + " into " + recording);
    writer = std::thread(writerLoop, ring.get(), header, recording, every);
}

void ensureStarted() {
    if (!started) start();
}

// Ends the session: the real plug-in is unloaded first, then the writer drains the ring, writes the
// file a last time and ends.
void finish() {
    if (library != nullptr) {
        unloadLibrary(library);
        library = nullptr;
    }
    if (writer.joinable()) {
        stopWriter.store(true, std::memory_order_release);
        writer.join();
    }
    ring.reset();
    started = false;
}

// The recorder unloaded without Dispose. On Linux the session ends as at Dispose. On Windows this
// runs under the loader lock, where no thread can be waited for and no library unloaded: the
// writer is left to the ending process, and the last periodic write stands.
struct Unload {
    ~Unload() {
        if (!started) return;
        if (canJoinAtUnload()) {
            finish();
        } else if (writer.joinable()) {
            writer.detach();
            static_cast<void>(ring.release());  // the detached writer may still read it
        }
    }
};
const Unload atUnload;

}  // namespace
}  // namespace recorder

// Nothing runs under the loader's notifications: the real plug-in is loaded at the first call.
void platform::onLoaderEvent(platform::LoaderEvent) {}

namespace r = recorder;

ATS_EXPORT void ATS_CALL Load() {
    r::ensureStarted();
    if (r::library == nullptr) return;
    r::recordCall(r::Call::Load);
    r::real.Load();
}

ATS_EXPORT void ATS_CALL Dispose() {
    if (r::library != nullptr) {
        r::recordCall(r::Call::Dispose);
        r::real.Dispose();
    }
    if (r::started) r::finish();
}

ATS_EXPORT std::int32_t ATS_CALL GetPluginVersion() {
    r::ensureStarted();
    if (r::library == nullptr) return frame::kInterfaceVersion;
    const std::int32_t version = r::real.GetPluginVersion();
    r::recordCall(r::Call::GetPluginVersion, version);
    return version;
}

ATS_EXPORT void ATS_CALL SetVehicleSpec(VehicleSpec spec) {
    r::ensureStarted();
    if (r::library == nullptr) return;
    r::recordCall(r::Call::SetVehicleSpec, spec.brakeNotches, spec.powerNotches, spec.extra1, spec.extra2,
                  spec.extra3);
    r::real.SetVehicleSpec(spec);
}

ATS_EXPORT void ATS_CALL Initialize(std::int32_t brake) {
    r::ensureStarted();
    if (r::library == nullptr) return;
    r::recordCall(r::Call::Initialize, brake);
    r::real.Initialize(brake);
}

ATS_EXPORT Handles ATS_CALL Elapse(VehicleState state, std::int32_t* panel, std::int32_t* sound) {
    using namespace recorder;
    if (library == nullptr) {
        return Handles{driver.brake, driver.power, driver.reverser, frame::ConstantSpeedKeep};
    }
    platform::readKeyboard(keyboard.data());
    ownPanel.fill(kMark);
    ownSound.fill(kMark);
    const Handles handles = real.Elapse(state, ownPanel.data(), ownSound.data());

    FrameHead head{};
    head.state = state;
    head.handles = handles;
    unsigned char* at = scratch + sizeof head;
    for (std::size_t key = 0; key < keyboard.size(); ++key) {
        if (keyboard[key] == lastKeyboard[key]) continue;
        at[0] = static_cast<unsigned char>(key);
        at[1] = keyboard[key];
        at += 2;
        ++head.keyCount;
    }
    lastKeyboard = keyboard;
    while ((at - scratch) % 4 != 0) *at++ = 0;
    for (int slot = 0; slot < frame::kSlotCount; ++slot) {
        const std::int32_t value = ownPanel[static_cast<std::size_t>(slot)];
        if (value == kMark) continue;
        panel[slot] = value;
        const SlotWrite write{slot, value};
        std::memcpy(at, &write, sizeof write);
        at += sizeof write;
        ++head.panelCount;
    }
    for (int slot = 0; slot < frame::kSlotCount; ++slot) {
        const std::int32_t value = ownSound[static_cast<std::size_t>(slot)];
        if (value == kMark) continue;
        sound[slot] = value;
        const SlotWrite write{slot, value};
        std::memcpy(at, &write, sizeof write);
        at += sizeof write;
        ++head.soundCount;
    }
    std::memcpy(scratch, &head, sizeof head);
    push(scratch, static_cast<std::uint32_t>(at - scratch));
    return handles;
}

#define RECORDER_FORWARD_INT(name, latch)               \
    ATS_EXPORT void ATS_CALL name(std::int32_t value) { \
        r::ensureStarted();                             \
        latch;                                          \
        if (r::library == nullptr) return;              \
        r::recordCall(r::Call::name, value);            \
        r::real.name(value);                            \
    }

RECORDER_FORWARD_INT(SetPower, r::driver.power = value)
RECORDER_FORWARD_INT(SetBrake, r::driver.brake = value)
RECORDER_FORWARD_INT(SetReverser, r::driver.reverser = value)
RECORDER_FORWARD_INT(KeyDown, (void)0)
RECORDER_FORWARD_INT(KeyUp, (void)0)
RECORDER_FORWARD_INT(HornBlow, (void)0)
RECORDER_FORWARD_INT(SetSignal, (void)0)

ATS_EXPORT void ATS_CALL DoorOpen() {
    r::ensureStarted();
    if (r::library == nullptr) return;
    r::recordCall(r::Call::DoorOpen);
    r::real.DoorOpen();
}

ATS_EXPORT void ATS_CALL DoorClose() {
    r::ensureStarted();
    if (r::library == nullptr) return;
    r::recordCall(r::Call::DoorClose);
    r::real.DoorClose();
}

ATS_EXPORT void ATS_CALL SetBeaconData(BeaconData beacon) {
    r::ensureStarted();
    if (r::library == nullptr) return;
    std::int32_t distance = 0;
    std::memcpy(&distance, &beacon.distance, sizeof distance);
    r::recordCall(r::Call::SetBeaconData, beacon.type, beacon.signal, distance, beacon.optional);
    r::real.SetBeaconData(beacon);
}
