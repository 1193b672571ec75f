// Puts the desktop's display mode back on every way out of the process.

#include "platform/display_modes.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <thread>

namespace {

void RestoreAtExit() { RestoreDisplayMode(); }

sigset_t TerminationSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGQUIT);
    return signals;
}

// X calls are not safe inside a signal handler, so the signals are taken
// on a thread of their own; the restore runs there, then the signal takes
// its default course and ends the process as it would have.
void WaitForTerminationSignal(sigset_t signals)
{
    int signal = 0;
    if (sigwait(&signals, &signal) != 0)
        return;
    RestoreDisplayMode();
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigaction(signal, &defaultAction, nullptr);
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    raise(signal);
}

}  // namespace

void GuardDisplayModeOnExit()
{
    std::atexit(RestoreAtExit);
    // Blocked before any other thread exists (GL and audio threads come
    // later and inherit the mask), so only the waiting thread receives them.
    sigset_t signals = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread(WaitForTerminationSignal, signals).detach();
}
