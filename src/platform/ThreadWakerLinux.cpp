#include "platform/ThreadWaker.h"

#include <csignal>
#include <pthread.h>

namespace
{
// SIGURG is ignored by default and nothing else in the program uses it. The handler
// does nothing: its only effect is that select(), poll() and sleeps return early.
// SA_RESTART keeps other interrupted calls (file reads and writes) going.
constexpr int wakeSignal = SIGURG;

void onWake (int)
{
}
} // namespace

void ThreadWaker::prepare()
{
    static const bool installed = []
    {
        struct sigaction action = {};
        action.sa_handler = onWake;
        sigemptyset (&action.sa_mask);
        action.sa_flags = SA_RESTART;
        return sigaction (wakeSignal, &action, nullptr) == 0;
    }();

    juce::ignoreUnused (installed);
}

void ThreadWaker::wake (juce::Thread::ThreadID thread)
{
    if (thread != nullptr)
        pthread_kill ((pthread_t) thread, wakeSignal);
}
