// The DLL entry-point routine: the runtime has built the plug-in's settings store before the first
// call, and destroys it after the process-detach call.
#include "frame/plugin.h"
#include "platform/win32/internal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    platform::win32::moduleHandle = instance;
    frame::onLoaderNotification(static_cast<int>(reason));
    return TRUE;  // the library always loads
}
