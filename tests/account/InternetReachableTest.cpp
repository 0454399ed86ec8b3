#include "account/AccountTestSupport.h"
#include "account/ReachabilityProbe.h"

// The built-in probe sites of the test build are 127.0.0.1:47801 to 47803, by
// HTTP and then by HTTPS.
TEST (InternetReachable, TheFirstSiteAnsweringIsOneRequest)
{
    AccountService site ("/");
    site.answerWith (404, "not here");
    ASSERT_TRUE (startOnFixedPort (site, firstProbeSitePort));

    EXPECT_TRUE (isInternetReachable());
    EXPECT_EQ (site.getRequestCount(), 1);
}

TEST (InternetReachable, EverySiteIsTriedInTableOrderWhenNoneAnswers)
{
    SilentListener::resetSequence();
    std::vector<std::unique_ptr<SilentListener>> listeners;

    for (int i = 0; i < 3; ++i)
    {
        listeners.push_back (SilentListener::onFixedPort (firstProbeSitePort + i));
        ASSERT_TRUE (listeners.back()->isListening()) << "port " << firstProbeSitePort + i << " is taken";
    }

    EXPECT_FALSE (isInternetReachable());

    // Each port sees its HTTP attempt among the first three, its HTTPS one among the last three.
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (listeners[(size_t) i]->getAttempts(), (std::vector<int> { i + 1, i + 4 }));
    }
}

TEST (InternetReachable, OnlyTheThirdSiteAnswering)
{
    SilentListener::resetSequence();
    auto firstSite = SilentListener::onFixedPort (firstProbeSitePort);
    auto& first = *firstSite;
    ASSERT_TRUE (first.isListening());

    AccountService third ("/");
    third.answerWith (500, "");
    ASSERT_TRUE (startOnFixedPort (third, firstProbeSitePort + 2));

    EXPECT_TRUE (isInternetReachable());
    EXPECT_EQ (first.getAttempts().size(), (size_t) 1);
    EXPECT_EQ (third.getRequestCount(), 1);
}
