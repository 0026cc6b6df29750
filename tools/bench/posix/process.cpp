// Signals and terminals on Linux. See tools/bench/process.h.
#include <signal.h>
#include <unistd.h>

#include <initializer_list>

#include "tools/bench/process.h"

namespace bench {
namespace {

volatile sig_atomic_t caught = 0;

void onSignal(int signal) {
    if (caught != 0) {
        // A second interruption: the user insists. End now, as the signal would have.
        struct sigaction plain {};
        plain.sa_handler = SIG_DFL;
        sigaction(signal, &plain, nullptr);
        raise(signal);
        return;
    }
    caught = signal;
}

}  // namespace

void catchInterruptions() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) continue;  // started under nohup, or in the background
        struct sigaction handler {};
        handler.sa_handler = onSignal;
        sigemptyset(&handler.sa_mask);
        handler.sa_flags = 0;  // no SA_RESTART: a blocked read of stdin returns
        sigaction(signal, &handler, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

void checkInterrupted() {
    if (caught != 0) throw Interrupted{caught};
}

void endAsInterrupted(int signal) {
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigaction(signal, &plain, nullptr);
    raise(signal);
    _exit(128 + signal);
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

void binaryStdin() {}

}  // namespace bench
