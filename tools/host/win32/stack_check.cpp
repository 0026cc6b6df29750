// See tools/host/win32/stack_check.h.
#include "tools/host/win32/stack_check.h"

#if defined(_WIN32) && !defined(_WIN64)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "tools/host/plugin_library.h"

namespace host {

// One checked entry point. The thunk's assembly reads `target` at offset 0 and `bytes` at offset 4.
struct CheckedCall {
    void* target;
    std::uint32_t bytes;  // the argument bytes the caller pushes, which the entry point must pop
    const char* name;
    const char* library;
};
static_assert(std::is_standard_layout_v<CheckedCall> && sizeof(void*) == 4);

// Called by the thunk, on a sound stack, when an entry point popped `popped` bytes.
extern "C" [[noreturn]] void atsStackMismatch(const CheckedCall* call, std::int32_t popped) {
    std::fprintf(stderr,
                 "%s in %s popped %ld bytes of arguments where the caller pushed %lu: the entry point "
                 "is exported with the wrong argument size\n",
                 call->name, call->library, static_cast<long>(popped),
                 static_cast<unsigned long>(call->bytes));
    std::fflush(stderr);
    std::abort();
}

// Entered from a thunk with EAX pointing at its CheckedCall and the caller's arguments on the stack.
// Copies the arguments, calls the entry point, and checks that it popped exactly them; then returns
// to the caller popping them itself, as the entry point would have. EAX and EDX (the result) are
// kept; ECX is the scratch register every convention here allows.
extern "C" __attribute__((naked)) void atsCheckedCall() {
    asm(R"(
        pushl %ebp
        movl %esp, %ebp             # 4(%ebp): return address, 8(%ebp): the arguments
        pushl %esi
        pushl %edi
        pushl %ebx
        movl %eax, %ebx             # the CheckedCall
        movl 4(%ebx), %ecx
        subl %ecx, %esp
        leal 8(%ebp), %esi
        movl %esp, %edi
        shrl $2, %ecx
        cld
        rep movsl
        movl %esp, %esi             # the stack pointer at the call
        call *(%ebx)
        movl %esi, %ecx
        addl 4(%ebx), %ecx          # where the entry point must leave it
        cmpl %ecx, %esp
        jne 1f
        movl 4(%ebx), %ecx
        popl %ebx
        popl %edi
        popl %esi
        popl %ebp
        pushl %eax                  # move the return address above the arguments, then return
        movl 4(%esp), %eax
        movl %eax, 4(%esp,%ecx)
        popl %eax
        addl %ecx, %esp
        ret
    1:
        movl %esp, %edx
        subl %esi, %edx             # the bytes the entry point popped
        leal -12(%ebp), %esp
        pushl %edx
        pushl %ebx
        call _atsStackMismatch
    )");
}

namespace {

// The argument bytes of a __stdcall call through a pointer of this type: each argument in whole
// 4-byte slots, and the hidden result pointer of a structure returned in memory (any size but 1,
// 2, 4 and 8 bytes).
template <class R, class... A>
constexpr std::uint32_t argumentBytes(R(ATS_CALL*)(A...)) {
    std::uint32_t bytes = ((static_cast<std::uint32_t>(sizeof(A) + 3) / 4 * 4) + ... + 0u);
    if constexpr (std::is_class_v<R>) {
        if (sizeof(R) != 1 && sizeof(R) != 2 && sizeof(R) != 4 && sizeof(R) != 8) bytes += 4;
    }
    return bytes;
}
template <class Fn>
constexpr std::uint32_t bytesOf() {
    return argumentBytes(Fn{});
}

struct Entry {
    const char* name;
    std::uint32_t bytes;
};
constexpr Entry kEntries[] = {
    {"Load", bytesOf<decltype(EntryPoints::Load)>()},
    {"Dispose", bytesOf<decltype(EntryPoints::Dispose)>()},
    {"GetPluginVersion", bytesOf<decltype(EntryPoints::GetPluginVersion)>()},
    {"SetVehicleSpec", bytesOf<decltype(EntryPoints::SetVehicleSpec)>()},
    {"Initialize", bytesOf<decltype(EntryPoints::Initialize)>()},
    {"Elapse", bytesOf<decltype(EntryPoints::Elapse)>()},
    {"SetPower", bytesOf<decltype(EntryPoints::SetPower)>()},
    {"SetBrake", bytesOf<decltype(EntryPoints::SetBrake)>()},
    {"SetReverser", bytesOf<decltype(EntryPoints::SetReverser)>()},
    {"KeyDown", bytesOf<decltype(EntryPoints::KeyDown)>()},
    {"KeyUp", bytesOf<decltype(EntryPoints::KeyUp)>()},
    {"HornBlow", bytesOf<decltype(EntryPoints::HornBlow)>()},
    {"DoorOpen", bytesOf<decltype(EntryPoints::DoorOpen)>()},
    {"DoorClose", bytesOf<decltype(EntryPoints::DoorClose)>()},
    {"SetSignal", bytesOf<decltype(EntryPoints::SetSignal)>()},
    {"SetBeaconData", bytesOf<decltype(EntryPoints::SetBeaconData)>()},
};
// The same bytes the static check of the DLLs expects (tests/check_library_tables.sh).
static_assert(bytesOf<decltype(EntryPoints::Elapse)>() == 52);
static_assert(bytesOf<decltype(EntryPoints::SetVehicleSpec)>() == 20);
static_assert(bytesOf<decltype(EntryPoints::SetBeaconData)>() == 16);

struct Guard {
    CheckedCall call;
    std::string library;
    unsigned char* code;  // in the executable heap
};

// Thunks by entry point address: a library loaded again at the same address finds its thunks.
std::mutex guardsMutex;
std::map<void*, std::unique_ptr<Guard>> guards;

}  // namespace

void* guardEntryPoint(void* library, const char* name, void* address) {
    if (address == nullptr) return nullptr;
    const Entry* entry = nullptr;
    for (const Entry& candidate : kEntries) {
        if (std::strcmp(candidate.name, name) == 0) entry = &candidate;
    }
    if (entry == nullptr) return address;

    const std::lock_guard<std::mutex> lock(guardsMutex);
    std::unique_ptr<Guard>& guard = guards[address];
    if (!guard) {
        static const HANDLE heap = HeapCreate(HEAP_CREATE_ENABLE_EXECUTE, 0, 0);
        auto* code = heap ? static_cast<unsigned char*>(HeapAlloc(heap, 0, 12)) : nullptr;
        if (code == nullptr) {
            std::fprintf(stderr, "cannot allocate the stack check of %s\n", name);
            std::abort();
        }
        guard = std::make_unique<Guard>();
        std::string path(32768, '\0');  // the longest path Windows has; only for the message
        path.resize(
            GetModuleFileNameA(static_cast<HMODULE>(library), path.data(), static_cast<DWORD>(path.size())));
        guard->library = path;
        guard->call = {address, entry->bytes, entry->name, guard->library.c_str()};
        guard->code = code;
        // mov eax, &guard->call; mov ecx, atsCheckedCall; jmp ecx
        const CheckedCall* call = &guard->call;
        void (*routine)() = atsCheckedCall;
        code[0] = 0xB8;
        std::memcpy(code + 1, &call, 4);
        code[5] = 0xB9;
        std::memcpy(code + 6, &routine, 4);
        code[10] = 0xFF;
        code[11] = 0xE1;
        FlushInstructionCache(GetCurrentProcess(), code, 12);
    }
    return guard->code;
}

}  // namespace host

#else

namespace host {

void* guardEntryPoint(void*, const char*, void* address) { return address; }

}  // namespace host

#endif
