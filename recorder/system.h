// What the recorder needs from the system beyond the plug-ins' platform layer: loading the real
// plug-in, and writing its own files. Defined in posix/ and win32/.
#pragma once

#include <string>

namespace recorder {

// Loads a library by its path; null with the system's reason in *error on failure.
void* loadLibrary(const std::string& path, std::string* error);
void* findSymbol(void* library, const char* name);
void unloadLibrary(void* library);

// Replaces the file at path with contents as one step: a temporary file beside it is written,
// flushed to disk and renamed over it, so a reader (or a crash) sees the old file or the new one.
bool writeFileAtomically(const std::string& path, const std::string& contents);

// Adds text at the end of the file, creating it if needed.
bool appendToFile(const std::string& path, const std::string& text);

// Whether a thread may be waited for while this library is being unloaded. Linux: yes. Windows: no,
// the loader lock is held then and the thread could not end.
bool canJoinAtUnload();

}  // namespace recorder
