#pragma once

#include <juce_core/juce_core.h>

#include <atomic>

// An HTTP request whose blocking calls can be ended from another thread.
//
// One worker thread opens it, reads it and closes it, once or several times in a row;
// any other thread may call cancel() at any moment. A cancel ends the worker's connect
// or read at once (the call then yields nothing) and makes every later open and read
// fail until reset(). The stream is owned by the object that owns the worker thread,
// so it outlives every call into it; close() and the destructor wait for a cancel()
// that is still busy with the request before they release it.
class CancellableStream : public juce::InputStream
{
public:
    CancellableStream() = default;
    ~CancellableStream() override;

    // Worker thread. Sends the request as juce::URL::createInputStream does with the
    // same options (parameter handling, extra headers, connection time-out, request
    // command, redirects; the status code and the response headers are written where
    // the options say) and waits for the answer. True when an answer arrived that can
    // be read; false when the connection failed or the request was cancelled. A
    // request still open is closed first.
    bool open (const juce::URL& url, const juce::URL::InputStreamOptions& options);

    // Worker thread: releases the request.
    void close();

    // Any thread: ends the open request, and every later one until reset().
    void cancel();

    // Clears a cancel before the next run; only while no worker uses the stream.
    void reset();

    bool isCancelled() const { return cancelled.load(); }

    // The answer's status code (0 when none arrived), and whether the request failed or
    // was cancelled.
    int getStatusCode() const { return statusCode; }
    bool isError() const { return ! isOpen || cancelled.load(); }

    // Signals the thread to exit, cancels this stream and waits for the thread to end,
    // however long that takes: the thread is never killed.
    void endThread (juce::Thread& thread);

    // juce::InputStream, on the worker thread. The body ends when a read yields
    // nothing, the announced length has arrived or the request was cancelled.
    juce::int64 getTotalLength() override { return totalLength; }
    bool isExhausted() override;
    int read (void* destBuffer, int maxBytesToRead) override;
    juce::int64 getPosition() override { return position; }
    bool setPosition (juce::int64 newPosition) override { return newPosition == position; }

private:
    // Runs one call into the request unless it is cancelled; false when a cancel came
    // before or during it.
    template <typename Call>
    bool callRequest (Call&& call);

    std::unique_ptr<juce::WebInputStream> request;

    // Shared with cancel(): the request while it may be used, the thread that uses it,
    // whether that thread is inside a call into it, and the cancel() calls under way.
    std::atomic<juce::WebInputStream*> sharedRequest { nullptr };
    std::atomic<juce::Thread::ThreadID> reader { nullptr };
    std::atomic<bool> inCall { false };
    std::atomic<bool> cancelled { false };
    std::atomic<int> activeCancels { 0 };

    // Worker thread only.
    bool isOpen = false;
    bool ended = false;
    int statusCode = 0;
    juce::int64 totalLength = -1;
    juce::int64 position = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CancellableStream)
};
