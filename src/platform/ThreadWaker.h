#pragma once

#include <juce_core/juce_core.h>

// Wakes a thread that sits in a blocking wait of the HTTP client, after its request
// has been cancelled. On Linux, libcurl's reader waits in select(), which closing its
// socket does not end: a signal without effect but to interrupt that wait ends it.
// On Windows, closing the WinINet handle already ends the blocked call; nothing is sent.
class ThreadWaker
{
public:
    // Makes wake() safe to use; call on the thread that will be woken, before it blocks.
    static void prepare();

    // Interrupts the given thread's current wait; the thread must still be running.
    static void wake (juce::Thread::ThreadID thread);

private:
    ThreadWaker() = delete;
};
