#include "app/CancellableStream.h"
#include "platform/ThreadWaker.h"

CancellableStream::~CancellableStream()
{
    close();
}

template <typename Call>
bool CancellableStream::callRequest (Call&& call)
{
    inCall = true;

    if (cancelled)
    {
        inCall = false;
        return false;
    }

    call (*request);
    inCall = false;

    if (cancelled)
    {
        // The cancel came while the call was about to return, and may have found it
        // outside already: the request is ended here too.
        request->cancel();
        return false;
    }

    return true;
}

bool CancellableStream::open (const juce::URL& url, const juce::URL::InputStreamOptions& options)
{
    close();
    ThreadWaker::prepare();

    ended = false;
    statusCode = 0;
    totalLength = -1;
    position = 0;

    auto usePost = options.getParameterHandling() == juce::URL::ParameterHandling::inPostData;
    request = std::make_unique<juce::WebInputStream> (url, usePost);

    if (options.getExtraHeaders().isNotEmpty())
        request->withExtraHeaders (options.getExtraHeaders());

    if (options.getConnectionTimeoutMs() != 0)
        request->withConnectionTimeout (options.getConnectionTimeoutMs());

    if (options.getHttpRequestCmd().isNotEmpty())
        request->withCustomRequestCommand (options.getHttpRequestCmd());

    request->withNumRedirectsToFollow (options.getNumRedirectsToFollow());

    reader = juce::Thread::getCurrentThreadId();
    sharedRequest = request.get();

    auto connected = false;
    juce::StringPairArray headers;

    auto answered = callRequest ([&] (juce::WebInputStream& stream)
                                 {
                                     connected = stream.connect (nullptr);
                                     statusCode = stream.getStatusCode();

                                     if (options.getResponseHeaders() != nullptr)
                                         headers = stream.getResponseHeaders();

                                     connected = connected && ! stream.isError();

                                     if (connected)
                                         totalLength = stream.getTotalLength(); });

    if (! answered)
        statusCode = 0;

    if (auto* status = options.getStatusCode())
        *status = statusCode;

    if (auto* responseHeaders = options.getResponseHeaders())
        *responseHeaders = headers;

    isOpen = answered && connected;
    return isOpen;
}

void CancellableStream::close()
{
    if (request == nullptr)
        return;

    sharedRequest = nullptr;

    while (activeCancels.load() > 0)
        juce::Thread::yield();

    request.reset();
    reader = nullptr;
    isOpen = false;
}

void CancellableStream::cancel()
{
    ++activeCancels;
    cancelled = true;

    // A call that the reader starts from now on sees the flag. One that is under way may
    // be blocked in a connect or a read: its request is ended from here, then the reader
    // is woken from the wait that the ending of the request cannot reach.
    if (inCall.load())
    {
        if (auto* shared = sharedRequest.load())
        {
            shared->cancel();
            ThreadWaker::wake (reader.load());
        }
    }

    --activeCancels;
}

void CancellableStream::reset()
{
    cancelled = false;
}

void CancellableStream::endThread (juce::Thread& thread)
{
    thread.signalThreadShouldExit();
    cancel();

    // A wake that reached the reader just before it entered its wait is sent again.
    while (! thread.waitForThreadToExit (50))
        cancel();
}

bool CancellableStream::isExhausted()
{
    return ! isOpen || ended || cancelled.load() || (totalLength >= 0 && position >= totalLength);
}

int CancellableStream::read (void* destBuffer, int maxBytesToRead)
{
    if (! isOpen || ended || maxBytesToRead <= 0)
        return 0;

    auto numRead = 0;

    // What a cancelled call still delivered is dropped with the request.
    if (! callRequest ([&] (juce::WebInputStream& stream)
                       { numRead = stream.read (destBuffer, maxBytesToRead); })
        || numRead <= 0)
    {
        ended = true;
        return 0;
    }

    position += numRead;
    return numRead;
}
