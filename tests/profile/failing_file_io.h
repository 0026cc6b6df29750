// The fault seam of the POSIX profile services: failing_file_io.cpp replaces
// platform/posix/system_calls.cpp at link time. A test arms one call to fail with an error number;
// every other call is the real one.
#pragma once

namespace failing_file_io {

enum class Call { None, Open, Read, Write, Sync, Close, Rename };

// The countdown-th call of that kind from now (1: the next one) fails with the error number.
void failAt(Call call, int countdown, int error);
void disarm();
// Whether the armed failure has happened since it was armed.
bool fired();

}  // namespace failing_file_io
