// How long one thread start and end takes in a process with a plug-in loaded (Windows: every loaded
// library hears of both), against the time with no plug-in; and, steadier on a busy machine, how
// long the library takes over one thread notification, called through its entry routine. The INI
// file is settled (dated an hour back). Speed is measured here, never asserted in tests.
//   wine64 build/win64/bin/thread_notification_benchmark.exe [threads [plug-in folder]]
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "ats_plugins.h"
#include "tools/host/plugin_library.h"
#include "tools/host/temp_folder.h"

namespace {

DWORD WINAPI doNothing(LPVOID) { return 0; }

// Microseconds of one thread start and end: the mean over a batch of 20 threads, the least of
// count / 20 batches (the least disturbed by other work on the machine).
double threadCost(int count) {
    double least = 1e300;
    for (int batch = 0; batch < count / 20; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i) {
            HANDLE thread = CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr);
            if (thread == nullptr) return -1.0;
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        least = std::min(least, spent.count() / 20);
    }
    return least;
}

// Microseconds of one thread-attach notification handled by the library, called straight through
// its entry routine on this thread (no thread made, so no scheduling in the figure): the mean over a
// batch of 20 calls, the least of count / 20 batches.
double notificationCost(const std::string& library, int count) {
    HMODULE module = GetModuleHandleA(library.c_str());
    if (module == nullptr) return -1.0;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const void* entryAddress = base + nt->OptionalHeader.AddressOfEntryPoint;
    BOOL(WINAPI * entry)(HINSTANCE, DWORD, LPVOID) = nullptr;
    static_assert(sizeof entry == sizeof entryAddress);
    std::memcpy(&entry, &entryAddress, sizeof entry);
    double least = 1e300;
    for (int batch = 0; batch < count / 20; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; ++i) entry(module, DLL_THREAD_ATTACH, nullptr);
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        least = std::min(least, spent.count() / 20);
    }
    return least;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string bin = argc > 2 ? argv[2] : ATS_BIN;
    if (count <= 0) {
        std::fprintf(stderr, "usage: thread_notification_benchmark [threads [plug-in folder]]\n");
        return 2;
    }
    threadCost(40);  // warm-up
    const double baseline = threadCost(count);
    std::printf("%-10s %10s %14s %14s\n", "loaded", "us/thread", "difference", "us/notification");
    std::printf("%-10s %10.2f %14s %14s\n", "nothing", baseline, "-", "-");
    for (const char* name : host::kPluginNames) {
        host::TempFolder folder("perf");
        const std::string source = bin + "/" + name + ATS_PLUGIN_SUFFIX;
        std::string error;
        const std::string library = host::copyPluginTo(source, folder);
        auto plugin = host::PluginLibrary::open(library, &error);
        if (!plugin) {
            std::fprintf(stderr, "%s: %s\n", name, error.c_str());
            return 1;
        }
        // The INI file made at load is dated an hour back, as a file made in an earlier session is:
        // a file written moments ago is read at every notification.
        std::error_code noIni;  // Vesk makes none
        std::filesystem::last_write_time(
            library.substr(0, library.rfind('.')) + ".ini",
            std::filesystem::file_time_type::clock::now() - std::chrono::hours(1), noIni);
        threadCost(count / 10);
        const double cost = threadCost(count);
        const double notification = notificationCost(library, count);
        std::printf("%-10s %10.2f %14.2f %14.2f\n", name, cost, cost - baseline, notification);
    }
    return 0;
}
