// Shared by the Windows side of the platform layer.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform::win32 {

// The library's module handle, recorded by DllMain before the first notification is handled.
extern HINSTANCE moduleHandle;

}  // namespace platform::win32
