// Telling, from a library file's first bytes, whether this program can load it: a Windows DLL of
// the other architecture, or a library of the other system, gets a message that says what to use.
#pragma once

#include <cstddef>
#include <string>

namespace host {

struct HostKind {
    bool windows;  // the program runs as a Windows program
    bool bits64;   // the program is a 64-bit program
};

// The program running this code.
HostKind thisProgram();

// Empty when a program of the given kind may load a library starting with these bytes (or when
// the bytes are of no format known here: the loader will then say what is wrong); otherwise why
// not, e.g. "32-bit DLL: use the 32-bit bench".
std::string libraryFormatProblem(const std::string& head, HostKind program);

// How many leading bytes libraryFormatProblem needs at most.
inline constexpr std::size_t kLibraryHeadSize = 4096;

}  // namespace host
