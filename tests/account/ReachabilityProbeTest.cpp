#include "account/ReachabilityProbe.h"
#include "account/AccountTestSupport.h"

#include <future>

namespace
{
// Addresses as the probe's table holds them: NUL-terminated texts.
struct SiteList
{
    void add (const juce::String& address)
    {
        texts.push_back (address.toStdString());
    }

    std::vector<const char*> pointers()
    {
        std::vector<const char*> result;

        for (auto& text : texts)
            result.push_back (text.c_str());

        return result;
    }

    std::vector<std::string> texts;
};

juce::String siteAt (const char* scheme, int port)
{
    return juce::String (scheme) + "://127.0.0.1:" + juce::String (port);
}

// A site that answers every request to its bare address with a fixed status.
struct AnsweringSite
{
    explicit AnsweringSite (int status)
    {
        loopback.server().Get ("/", [this, status] (const httplib::Request&, httplib::Response& response)
                               {
                                   ++requests;
                                   response.status = status;
                                   response.set_content ("<html></html>", "text/html"); });
        loopback.start();
    }

    LoopbackServer loopback;
    std::atomic<int> requests { 0 };
};
} // namespace

TEST (ReachabilityProbe, TableHoldsThreeSitesByHttpThenTheSameByHttps)
{
    for (int i = 0; i < 3; ++i)
    {
        juce::String plain (reachabilitySites[i]);
        juce::String secure (reachabilitySites[i + 3]);

        EXPECT_TRUE (plain.startsWith ("http://")) << plain;
        EXPECT_TRUE (secure.startsWith ("https://")) << secure;
        EXPECT_EQ (plain.fromFirstOccurrenceOf ("://", false, false), secure.fromFirstOccurrenceOf ("://", false, false));
    }
}

TEST (ReachabilityProbe, EmptyRangeIsUnreachableWithoutARequest)
{
    AnsweringSite site (200);
    SiteList sites;
    sites.add (siteAt ("http", site.loopback.getPort()));
    auto pointers = sites.pointers();

    EXPECT_FALSE (isAnySiteReachable (pointers.data(), pointers.data()));
    EXPECT_EQ (site.requests.load(), 0);
}

TEST (ReachabilityProbe, StopsAtTheFirstSiteThatAnswers)
{
    SilentListener::resetSequence();
    SilentListener silent;
    ASSERT_TRUE (silent.isListening());
    AnsweringSite answering (200);
    AnsweringSite after (200);

    SiteList sites;
    sites.add (siteAt ("http", getClosedLoopbackPort()));
    sites.add (siteAt ("http", silent.getPort()));
    sites.add (siteAt ("http", answering.loopback.getPort()));
    sites.add (siteAt ("http", after.loopback.getPort()));
    auto pointers = sites.pointers();

    EXPECT_TRUE (isAnySiteReachable (pointers.data(), pointers.data() + pointers.size()));
    EXPECT_EQ (silent.getAttempts().size(), (size_t) 1);
    EXPECT_EQ (answering.requests.load(), 1);
    EXPECT_EQ (after.requests.load(), 0);
}

TEST (ReachabilityProbe, TriesEverySiteInOrderWhenNoneAnswers)
{
    SilentListener::resetSequence();
    std::vector<std::unique_ptr<SilentListener>> listeners;
    SiteList sites;

    // Three by HTTP, then the same three by HTTPS, as in the real table; the
    // encrypted attempts fail in the handshake.
    for (int i = 0; i < 3; ++i)
    {
        listeners.push_back (std::make_unique<SilentListener>());
        ASSERT_TRUE (listeners.back()->isListening());
        sites.add (siteAt ("http", listeners.back()->getPort()));
    }

    for (int i = 0; i < 3; ++i)
        sites.add (siteAt ("https", listeners[(size_t) i]->getPort()));

    auto pointers = sites.pointers();
    EXPECT_FALSE (isAnySiteReachable (pointers.data(), pointers.data() + pointers.size()));

    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (listeners[(size_t) i]->getAttempts(), (std::vector<int> { i + 1, i + 4 }));
    }
}

TEST (ReachabilityProbe, ClosedPortsAreUnreachable)
{
    SiteList sites;

    for (auto* scheme : { "http", "https" })
        sites.add (siteAt (scheme, getClosedLoopbackPort()));

    auto pointers = sites.pointers();
    EXPECT_FALSE (isAnySiteReachable (pointers.data(), pointers.data() + pointers.size()));
}

TEST (ReachabilityProbe, AnErrorStatusStillCountsAsReachable)
{
    for (auto status : { 200, 301, 404, 500, 503 })
    {
        SCOPED_TRACE (status);
        AnsweringSite site (status);
        SiteList sites;
        sites.add (siteAt ("http", site.loopback.getPort()));
        auto pointers = sites.pointers();

        EXPECT_TRUE (isAnySiteReachable (pointers.data(), pointers.data() + pointers.size()));
        EXPECT_EQ (site.requests.load(), 1);
    }
}

TEST (ReachabilityProbe, ASiteThatAcceptsAndNeverAnswersIsLeftAfterItsTimeOut)
{
    SilentListener::resetSequence();
    SilentListener stalled (0, SilentListener::Mode::holdOpen);
    ASSERT_TRUE (stalled.isListening());
    AnsweringSite answering (200);

    SiteList sites;
    sites.add (siteAt ("http", stalled.getPort()));
    sites.add (siteAt ("http", answering.loopback.getPort()));
    auto pointers = sites.pointers();

    auto probe = std::async (std::launch::async, [&]
                             { return isAnySiteReachable (pointers.data(), pointers.data() + pointers.size()); });

    // A generous bound on the wait for the stalled site's connection time-out.
    auto ended = probe.wait_for (std::chrono::seconds (10)) == std::future_status::ready;
    EXPECT_TRUE (ended) << "the probe still waits for the stalled site";

    // Lets a probe without a time-out go on, so that the test ends either way.
    stalled.closeConnections();

    EXPECT_TRUE (probe.get());
    EXPECT_EQ (stalled.getAttempts().size(), (size_t) 1);
    EXPECT_EQ (answering.requests.load(), 1);
}
