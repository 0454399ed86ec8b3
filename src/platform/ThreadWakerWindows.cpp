#include "platform/ThreadWaker.h"

// InternetCloseHandle, which cancelling a request calls, ends a blocked WinINet call.
void ThreadWaker::prepare()
{
}

void ThreadWaker::wake (juce::Thread::ThreadID)
{
}
