// Shared by the Windows side of the platform layer.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace platform::win32 {

// The library's module handle, recorded by DllMain before the first notification is handled.
extern HINSTANCE moduleHandle;

// The full file name of a loaded module (null: the process's program), whole at any length; empty
// if the system cannot tell.
std::string moduleFileName(HMODULE module);

}  // namespace platform::win32
