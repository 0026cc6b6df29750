// What the bench needs of the process it runs in: interruptions caught so that the private folder
// and half-written outputs are removed, and whether a stream is a terminal. One definition per
// platform (tools/bench/posix, tools/bench/win32).
#pragma once

#include <cstdio>

namespace bench {

// Thrown at the next check after an interruption; the unwinding removes what the run made.
struct Interrupted {
    int signal;
};

// Catches SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl-C, Ctrl-Break and close): the
// first asks the run to stop at its next check, a second ends the process at once. A signal that
// was ignored when the bench started (nohup) stays ignored. SIGPIPE and SIGXFSZ are ignored, so a
// closed pipe or a file-size limit shows as a failed write with its reason.
void catchInterruptions();

// Throws Interrupted if an interruption has come.
void checkInterrupted();

// Ends the process as the interruption would have ended it without the bench's handler.
[[noreturn]] void endAsInterrupted(int signal);

bool isTerminal(std::FILE* stream);

// Makes stdin deliver bytes as they are (no CRLF translation on Windows).
void binaryStdin();

}  // namespace bench
