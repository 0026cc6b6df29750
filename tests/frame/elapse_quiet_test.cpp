// Elapse runs once per frame inside the simulator's frame loop: it must not allocate, open a file or
// enter the kernel. Each plug-in is driven through many frames in a child process that has switched
// to strict seccomp, where any system call other than read, write and exit kills it, and with
// malloc counting its calls. The recorder is checked the same way, in front of each plug-in.
#include <gtest/gtest.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "ats_plugins.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace {
// Counted per thread: the recorder's writer thread allocates as it likes, beside the frames.
thread_local long allocations = 0;
}  // namespace

// Every allocation in the process reaches the C library's malloc, including those of a plug-in
// that carries its own C++ runtime (its operator new calls malloc). The test program exports its
// symbols, so the plug-ins' calls bind to these counting versions, which hand the work to the C
// library's own allocator (the names glibc gives it for programs that replace malloc).
// Not in the sanitizer builds, whose runtimes own malloc (the test is skipped there).
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);

void* malloc(std::size_t size) noexcept {
    ++allocations;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    ++allocations;
    return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) noexcept {
    ++allocations;
    return __libc_realloc(block, size);
}
void free(void* block) noexcept { __libc_free(block); }
}
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Exit codes of the child.
constexpr int kQuiet = 0;
constexpr int kAllocated = 3;
constexpr int kCannotLoad = 4;
constexpr int kNoSeccomp = 5;
constexpr int kKilled = 6;

[[noreturn]] void leave(int code) {
    // Only plain exit is allowed under strict seccomp; exit_group would be a violation.
    syscall(SYS_exit, code);
    std::abort();
}

// A varied run: speed up and down, time forwards, standing still and back, a NaN speed, keys going
// down and up, beacons, doors, handles.
void driveFrames(const host::EntryPoints& api, int frames) {
    std::int32_t panel[256] = {};
    std::int32_t sound[256] = {};
    const int keys[] = {0x45, 0x52, 0x54, 0x59};
    double position = 100.0;
    for (int frame = 0; frame < frames; ++frame) {
        frame::VehicleState state{};
        state.time = 1000 + frame * 100 - (frame % 97 == 0 ? 5000 : 0);
        state.speed = (frame % 113 == 0) ? std::numeric_limits<float>::quiet_NaN()
                                         : static_cast<float>((frame % 400) - 150);
        position += static_cast<double>(state.speed) / 36.0;
        state.position = position;
        state.bcPressure = static_cast<float>(frame % 500);
        state.current = static_cast<float>((frame % 300) - 150);
        host::setKeyDown(keys[frame % 4], (frame / 7) % 2 == 0);
        if (frame % 50 == 0) api.SetPower(frame % 6);
        if (frame % 60 == 0) api.SetBrake(frame % 9);
        if (frame % 70 == 0) api.SetBeaconData({86 + frame % 3, 0, 0.0f, frame % 700 - 200});
        if (frame % 80 == 0) api.DoorOpen();
        if (frame % 90 == 0) api.DoorClose();
        if (frame % 250 == 0) api.Initialize(0);
        api.Elapse(state, panel, sound);
    }
}

// Drives the checked frames under strict seccomp; returns the verdict, if the thread survives.
int checkedFrames(const host::EntryPoints& api) {
    const long before = allocations;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_STRICT) != 0) return kNoSeccomp;
    driveFrames(api, 3000);
    return allocations == before ? kQuiet : kAllocated;
}

[[noreturn]] void runChild(const std::string& library, bool ownThread) {
    std::string error;
    auto plugin = host::PluginLibrary::open(library, &error);
    if (!plugin) leave(kCannotLoad);
    const host::EntryPoints& api = plugin->api();
    api.Load();
    api.SetVehicleSpec({8, 5, 0, 0, 10});
    api.Initialize(0);
    driveFrames(api, 20);  // anything lazily set up on first use happens here, outside the check
    if (!ownThread) leave(checkedFrames(api));
    // The recorder has a writer thread of its own, which a plain exit of this thread would leave
    // running: the checked frames run on a thread of their own, which ends with a bare exit (all
    // that seccomp allows), and this thread ends the process with that thread's verdict. A thread
    // killed for a system call leaves the verdict at kKilled.
    std::atomic<int> verdict{kKilled};
    std::thread frames([&] {
        verdict.store(checkedFrames(api));
        syscall(SYS_exit, 0);
    });
    frames.join();  // the kernel wakes this when the thread ends, however it ends
    std::_Exit(verdict.load());
}

class ElapseQuiet : public testing::TestWithParam<const char*> {};

TEST_P(ElapseQuiet, MakesNoSystemCallAndNoAllocation) {
    if (kSanitized) GTEST_SKIP() << "sanitizer runtimes make system calls of their own";
    host::TempFolder folder("quiet");
    // "Recorder:NAME": the recorder in front of the plug-in NAME, recording it.
    const std::string param = GetParam();
    const std::size_t colon = param.find(':');
    const std::string name = param.substr(colon + 1);
    auto copy = [&](const std::string& library) {
        return host::copyPluginTo(std::string(ATS_BIN) + "/" + library + ATS_PLUGIN_SUFFIX, folder);
    };
    std::string library = copy(name);
    const bool recorded = colon != std::string::npos;
    if (recorded) {
        library = copy("Recorder");
        ASSERT_TRUE(host::writeFile(
            folder.file("Recorder.ini"),
            "[Recorder]\r\nPlugin=" + name + ATS_PLUGIN_SUFFIX + "\r\nRecording=run.scn\r\n"));
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Load and run in a folder of its own, so the INI file goes there.
        if (chdir(folder.path().c_str()) != 0) leave(kCannotLoad);
        runChild(library, recorded);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFSIGNALED(status)) {
        FAIL() << GetParam() << ": killed by signal " << WTERMSIG(status)
               << " (SIGKILL: a frame made a system call other than read, write or exit)";
    }
    ASSERT_TRUE(WIFEXITED(status));
    switch (WEXITSTATUS(status)) {
        case kQuiet:
            break;
        case kAllocated:
            FAIL() << GetParam() << ": a frame allocated memory";
            break;
        case kCannotLoad:
            FAIL() << GetParam() << ": could not be loaded";
            break;
        case kKilled:
            FAIL() << GetParam() << ": the frames' thread was killed (a frame made a system call)";
            break;
        case kNoSeccomp:
            GTEST_SKIP() << "strict seccomp is not available here";
            break;
        default:
            FAIL() << GetParam() << ": child exited with " << WEXITSTATUS(status);
    }
}

// Each plug-in alone, then the recorder in front of each ("Recorder:NAME").
std::vector<const char*> quietCases() {
    static std::vector<std::string> recorded;
    for (const char* name : host::kPluginNames) recorded.push_back(std::string("Recorder:") + name);
    std::vector<const char*> cases(std::begin(host::kPluginNames), std::end(host::kPluginNames));
    for (const std::string& name : recorded) cases.push_back(name.c_str());
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Plugins, ElapseQuiet, testing::ValuesIn(quietCases()),
                         [](const testing::TestParamInfo<const char*>& row) {
                             std::string name = row.param;
                             const std::size_t colon = name.find(':');
                             return colon == std::string::npos ? name
                                                               : "RecorderWith" + name.substr(colon + 1);
                         });

}  // namespace
