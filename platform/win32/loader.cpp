// The DLL entry-point routine: the runtime has built the library's static objects before the first
// call, and destroys them after the process-detach call. See platform/loader.h.
#include "platform/loader.h"
#include "platform/win32/internal.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    platform::win32::moduleHandle = instance;
    // Reason codes beyond the four known ones are passed on as they are; the library ignores them.
    platform::onLoaderEvent(static_cast<platform::LoaderEvent>(reason));
    return TRUE;  // the library always loads
}
