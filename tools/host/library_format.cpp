// See tools/host/library_format.h.
#include "tools/host/library_format.h"

#include <cstdint>

namespace host {
namespace {

std::uint32_t little(const std::string& bytes, std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

}  // namespace

HostKind thisProgram() {
#if defined(_WIN32)
    return {true, sizeof(void*) == 8};
#else
    return {false, sizeof(void*) == 8};
#endif
}

std::string libraryFormatProblem(const std::string& head, HostKind program) {
    const std::string bench = program.windows ? "bench.exe" : "bench";
    if (head.size() >= 2 && head[0] == 'M' && head[1] == 'Z') {
        if (!program.windows) return "a Windows DLL: use the Windows bench (bench.exe, under Wine on Linux)";
        if (head.size() < 0x40) return "a truncated Windows file";
        const std::uint32_t pe = little(head, 0x3C, 4);
        if (pe > head.size() - 6 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
            return "a DOS program, not a DLL";
        }
        const std::uint32_t machine = little(head, pe + 4, 2);
        if (machine == 0x014C && program.bits64) return "32-bit DLL: use the 32-bit bench";
        if (machine == 0x8664 && !program.bits64) return "64-bit DLL: use the 64-bit bench";
        if (machine != 0x014C && machine != 0x8664) return "a DLL for another processor";
        return {};
    }
    if (head.size() >= 5 && head.compare(0, 4,
                                         "\x7F"
                                         "ELF") == 0) {
        if (program.windows) return "a Linux library: use the Linux bench";
        const bool elf64 = head[4] == 2;
        if (!elf64 && program.bits64) return "32-bit library: use a 32-bit bench";
        if (elf64 && !program.bits64) return "64-bit library: use a 64-bit bench";
        return {};
    }
    return {};
}

}  // namespace host
