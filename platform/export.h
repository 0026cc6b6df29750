// The calling convention and export marking of the host boundary, the one place that tells the
// platforms apart for the entry points.
#pragma once

#if defined(_WIN32)
#define ATS_EXPORT extern "C" __declspec(dllexport)
#else
#define ATS_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// The host calls 32-bit plug-ins with __stdcall: the callee pops its arguments, including the hidden
// result pointer of Elapse. Other targets have a single convention.
#if defined(_WIN32) && !defined(_WIN64)
#define ATS_CALL __stdcall
#else
#define ATS_CALL
#endif
