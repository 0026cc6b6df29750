// The fault seam of the POSIX profile writer: failing_file_io.cpp replaces platform/posix/file_io.cpp
// at link time. A test arms one call to fail with an error number; every other call is the real one.
#pragma once

namespace failing_file_io {

enum class Call { None, Open, Write, Sync, Close, Rename };

// The countdown-th call of that kind from now (1: the next one) fails with the error number.
void failAt(Call call, int countdown, int error);
void disarm();

}  // namespace failing_file_io
