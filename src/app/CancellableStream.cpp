#include "app/CancellableStream.h"
#include "platform/ThreadWaker.h"

namespace
{
// A call that is not blocked comes back within this time and ends a cancelled request
// on its own thread; only a call still inside after it is ended from the cancelling one.
constexpr int callGraceMs = 20;
} // namespace

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
        // The cancel may have come while the call was about to return and left the
        // ending of the request to this thread.
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

    for (int waited = 0; inCall.load() && waited < callGraceMs; ++waited)
        juce::Thread::sleep (1);

    // Still inside: the call is blocked in a connect or a read. The request is ended
    // from here, then the reader is woken from the wait that the ending cannot reach.
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
