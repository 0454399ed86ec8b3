#include "app/CancellableStream.h"
#include "support/MisbehavingServer.h"
#include "support/TestSupport.h"

namespace
{
using Behaviour = MisbehavingServer::Behaviour;

juce::MemoryBlock makeBody (size_t size)
{
    juce::MemoryBlock body (size);
    body.fillWith ('x');
    return body;
}

// A worker that opens one request with the archive fetch's options and reads it to the end.
class Reader : public juce::Thread
{
public:
    Reader (CancellableStream& s, juce::String address)
        : juce::Thread ("Cancellable reader"), stream (s), url (std::move (address))
    {
    }

    ~Reader() override { stream.endThread (*this); }

    void run() override
    {
        auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                           .withConnectionTimeoutMs (10000)
                           .withNumRedirectsToFollow (1);

        opened = stream.open (url, options);

        char buffer[512];

        while (opened && ! stream.isExhausted())
        {
            auto n = stream.read (buffer, (int) sizeof (buffer));

            if (n <= 0)
                break;

            received += n;
        }

        stream.close();
    }

    CancellableStream& stream;
    juce::URL url;
    std::atomic<bool> opened { false };
    std::atomic<int> received { 0 };
};

struct StallCase
{
    const char* name;
    Behaviour behaviour;
    size_t bodySize;
    size_t stallAfter;
    bool opens; // the stall comes after the answer's headers
    int waitBeforeCancelMs;
};

class CancelledStall : public ::testing::TestWithParam<StallCase>
{
};
} // namespace

// However the server stalls, a cancel ends the blocked connect or read at once.
TEST_P (CancelledStall, EndsTheBlockedCallWithinASecond)
{
    auto c = GetParam();
    MisbehavingServer server (c.behaviour, makeBody (c.bodySize), 200, c.stallAfter);
    CancellableStream stream;
    Reader reader (stream, server.getUrl ("/archive.zip"));

    reader.startThread();

    if (c.behaviour != Behaviour::neverAccept)
        ASSERT_TRUE (server.waitForRequest());

    juce::Thread::sleep (c.waitBeforeCancelMs);
    ASSERT_TRUE (reader.isThreadRunning());

    stream.cancel();

    EXPECT_TRUE (reader.waitForThreadToExit (1000));
    EXPECT_EQ (reader.opened.load(), c.opens);
    EXPECT_TRUE (stream.isCancelled());
    EXPECT_LT (reader.received.load(), (int) c.bodySize);
}

INSTANTIATE_TEST_SUITE_P (Stalls,
                          CancelledStall,
                          ::testing::Values (StallCase { "connectPending", Behaviour::neverAccept, 1000, 0, false, 300 },
                                             StallCase { "noAnswer", Behaviour::neverAnswer, 1000, 0, false, 300 },
                                             StallCase { "stalledMidBody", Behaviour::stallAfterHeaders, 100000, 3000, true, 300 },
                                             StallCase { "drip", Behaviour::drip, 100000, 0, true, 700 }),
                          [] (const auto& info)
                          { return std::string (info.param.name); });

// A cancel before the request is sent keeps it from being sent, until reset.
TEST (CancellableStream, CancelledBeforeOpenSendsNothingUntilReset)
{
    MisbehavingServer server (Behaviour::answer, makeBody (5000));
    CancellableStream stream;
    stream.cancel();

    {
        Reader reader (stream, server.getUrl ("/a"));
        reader.startThread();
        ASSERT_TRUE (reader.waitForThreadToExit (5000));
        EXPECT_FALSE (reader.opened.load());
        EXPECT_EQ (stream.getStatusCode(), 0);
    }

    juce::Thread::sleep (100);
    EXPECT_EQ (server.getConnectionCount(), 0);

    stream.reset();
    Reader reader (stream, server.getUrl ("/a"));
    reader.startThread();
    ASSERT_TRUE (reader.waitForThreadToExit (5000));
    EXPECT_TRUE (reader.opened.load());
    EXPECT_EQ (stream.getStatusCode(), 200);
    EXPECT_EQ (reader.received.load(), 5000);
}

// Ending the thread never kills it: a reader blocked for longer than any wait is
// cancelled and then waited for, and its own code after the read still runs.
TEST (CancellableStream, EndThreadCancelsAndWaitsWithoutKilling)
{
    MisbehavingServer server (Behaviour::neverAccept);
    CancellableStream stream;

    struct AfterRead : public Reader
    {
        using Reader::Reader;

        void run() override
        {
            Reader::run();
            reachedEnd = true;
        }

        std::atomic<bool> reachedEnd { false };
    };

    AfterRead reader (stream, server.getUrl ("/a"));
    reader.startThread();
    juce::Thread::sleep (300);

    stream.endThread (reader);

    EXPECT_FALSE (reader.isThreadRunning());
    EXPECT_TRUE (reader.reachedEnd.load());
}

// Cancels that land anywhere in a run of requests, answered at once, never touch a
// released request (the sanitizer runs watch this) and always end the run.
TEST (CancellableStream, CancelsAtAnyMomentOfShortRequests)
{
    MisbehavingServer server (Behaviour::answer, makeBody (20000));
    CancellableStream stream;
    juce::Random random (7);

    for (int round = 0; round < 40; ++round)
    {
        stream.reset();
        Reader reader (stream, server.getUrl ("/a"));
        reader.startThread();
        juce::Thread::sleep (random.nextInt (6));
        stream.cancel();
        EXPECT_TRUE (reader.waitForThreadToExit (5000)) << "round " << round;
    }
}
