// Console interruptions and terminals on Windows. See tools/bench/process.h.
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdlib>

#include "tools/bench/process.h"

namespace bench {
namespace {

volatile LONG caught = 0;

// Runs on a thread of its own. Ctrl-C and Ctrl-Break ask the run to stop; a console being closed
// gives the process a few seconds, so this waits for the main thread to clean up and exit.
BOOL WINAPI onConsoleEvent(DWORD event) {
    const LONG signal = event == CTRL_C_EVENT ? SIGINT : event == CTRL_BREAK_EVENT ? SIGBREAK : SIGTERM;
    if (InterlockedCompareExchange(&caught, signal, 0) != 0) return FALSE;  // a second one: end now
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(4000);
    return TRUE;
}

}  // namespace

void catchInterruptions() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

void checkInterrupted() {
    const LONG signal = caught;
    if (signal != 0) throw Interrupted{static_cast<int>(signal)};
}

void endAsInterrupted(int) { ExitProcess(0xC000013A); }  // STATUS_CONTROL_C_EXIT, as Ctrl-C ends a program

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void binaryStdin() { _setmode(_fileno(stdin), _O_BINARY); }

}  // namespace bench
