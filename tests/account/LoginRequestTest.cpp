#include "account/LoginRequest.h"
#include "account/AccountTestSupport.h"
#include "account/AnswerCases.h"

#include <future>

// requestLogin talks to the endpoint the program was built with, which the
// test build puts on loopback port 47800.
class LoginRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (startOnFixedPort (service, accountServicePort)) << "port " << accountServicePort << " is taken";
    }

    AccountService service;
};

TEST_F (LoginRequest, EveryAnswerShapeGivesItsResult)
{
    for (const auto& answer : getAnswerCases())
    {
        SCOPED_TRACE (answer.name);
        service.answerWith (answer.status, answer.body);

        auto token = tokenBefore;
        auto result = requestLogin ("jane@example.org", "pw", token);

        EXPECT_EQ (result, answer.holdsToken ? 2 : 1);
        EXPECT_TRUE (token == (answer.tokenWritten ? answer.token : tokenBefore));
    }

    EXPECT_EQ (service.getRequestCount(), (int) getAnswerCases().size());
}

TEST_F (LoginRequest, SendsOneGetWithTheCredentialsEscaped)
{
    struct Case
    {
        const char* name;
        juce::String mail, password;
    };

    const std::vector<Case> cases {
        { "plain", "jane@example.org", "simple" },
        { "ampersand and equals", "a&b=c@example.org", "x&password=y" },
        { "plus and blanks", "jane+shop@example.org", " two  blanks + plus " },
        { "percent and hash", "100%@example.org", "%41#frag?q" },
        { "non-ASCII letters", juce::String::fromUTF8 ("j\xc3\xbcrgen@b\xc3\xa4r.example"), juce::String::fromUTF8 ("\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c \xe5\xaf\x86\xe7\xa0\x81") },
        { "slash and semicolon", "/;:@example.org", "a/b;c:d" },
    };

    service.answerWith (401, R"({"errors":[{"message":"Unidentified customer"}]})");

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto before = service.getRequestCount();

        juce::String token;
        EXPECT_EQ (requestLogin (c.mail, c.password, token), 1);

        auto requests = service.getRequests();
        ASSERT_EQ ((int) requests.size(), before + 1);
        const auto& request = requests.back();

        EXPECT_EQ (request.method, "GET");
        EXPECT_EQ (request.path, "/account/api/login");

        // Exactly the two parameters, in this order, decoded back to what was sent.
        ASSERT_EQ (request.parameters.size(), (size_t) 2);
        EXPECT_EQ (request.parameters[0].first, "mail");
        EXPECT_EQ (request.parameters[1].first, "password");
        EXPECT_TRUE (juce::String::fromUTF8 (request.parameters[0].second.c_str()) == c.mail);
        EXPECT_TRUE (juce::String::fromUTF8 (request.parameters[1].second.c_str()) == c.password);

        // Nothing of the values travels unescaped.
        EXPECT_EQ (request.query.find (' '), std::string::npos);
        EXPECT_EQ (std::count (request.query.begin(), request.query.end(), '&'), 1);
        EXPECT_EQ (std::count (request.query.begin(), request.query.end(), '='), 2);
    }
}

TEST_F (LoginRequest, NoAnswerIsMinusOneAndLeavesTheToken)
{
    service.stop();

    auto token = tokenBefore;
    EXPECT_EQ (requestLogin ("jane@example.org", "pw", token), -1);
    EXPECT_TRUE (token == tokenBefore);
}

TEST_F (LoginRequest, AConnectionClosedWithoutAnAnswerIsMinusOne)
{
    service.stop();
    auto listener = SilentListener::onFixedPort (accountServicePort);
    auto& silent = *listener;
    ASSERT_TRUE (silent.isListening());

    auto token = tokenBefore;
    EXPECT_EQ (requestLogin ("jane@example.org", "pw", token), -1);
    EXPECT_TRUE (token == tokenBefore);
    EXPECT_EQ (silent.getAttempts().size(), (size_t) 1);
}

TEST_F (LoginRequest, AThreadAskedToExitStopsReadingAndGetsNoToken)
{
    // The token comes after a long run of padding, sent slowly enough that the
    // thread is asked to stop while the body is still arriving.
    LoopbackServer slow;
    service.stop();

    slow.server().Get ("/account/api/login", [] (const httplib::Request&, httplib::Response& response)
                       { response.set_chunked_content_provider ("application/json", [] (size_t offset, httplib::DataSink& sink)
                                                                {
                                                                      std::string piece;

                                                                      if (offset == 0)
                                                                          piece = R"({"padding":")" + std::string (20000, 'x');
                                                                      else if (offset < 200000)
                                                                          piece = std::string (8192, 'x');
                                                                      else
                                                                          piece = R"(","data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"late"}}}})";

                                                                      if (offset > 0)
                                                                          std::this_thread::sleep_for (std::chrono::milliseconds (200));

                                                                      if (! sink.write (piece.data(), piece.size()))
                                                                          return false;

                                                                      if (offset >= 200000)
                                                                          sink.done();

                                                                      return true; }); });
    ASSERT_TRUE (startOnFixedPort (slow, accountServicePort));

    struct Worker : public juce::Thread
    {
        Worker()
            : juce::Thread ("Login") {}

        void run() override
        {
            result = requestLogin ("jane@example.org", "pw", token);
        }

        std::atomic<int> result { 0 };
        juce::String token { tokenBefore };
    };

    Worker worker;
    worker.startThread();
    juce::Thread::sleep (500);
    worker.signalThreadShouldExit();
    ASSERT_TRUE (worker.waitForThreadToExit (10000));

    EXPECT_EQ (worker.result.load(), 1);
    EXPECT_TRUE (worker.token == tokenBefore);
}

TEST_F (LoginRequest, AnEndlessAnswerIsRefusedOnceItPassesTheBound)
{
    // A body that never ends, as fast as the link takes it.
    LoopbackServer endless;
    std::atomic<bool> stopping { false };
    service.stop();

    endless.server().Get ("/account/api/login", [&] (const httplib::Request&, httplib::Response& response)
                          { response.set_chunked_content_provider ("application/json", [&] (size_t offset, httplib::DataSink& sink)
                                                                   {
                                                                       std::string piece = offset == 0 ? std::string (R"({"padding":")") : std::string (8192, 'x');
                                                                       return ! stopping && sink.write (piece.data(), piece.size()); }); });
    ASSERT_TRUE (startOnFixedPort (endless, accountServicePort));

    auto token = tokenBefore;
    auto request = std::async (std::launch::async, [&]
                               { return requestLogin ("jane@example.org", "pw", token); });

    // A generous bound on the wait; a reader without a bound would read on for ever.
    EXPECT_EQ (request.wait_for (std::chrono::seconds (30)), std::future_status::ready);
    stopping = true;

    EXPECT_EQ (request.get(), 1);
    EXPECT_TRUE (token == tokenBefore);
}

TEST_F (LoginRequest, AServiceThatAcceptsAndNeverAnswersIsNoAnswerAfterTheTimeOut)
{
    service.stop();
    auto silent = SilentListener::onFixedPort (accountServicePort, SilentListener::Mode::holdOpen);
    ASSERT_TRUE (silent->isListening());

    auto token = tokenBefore;
    auto request = std::async (std::launch::async, [&]
                               { return requestLogin ("jane@example.org", "pw", token); });

    // A generous bound on the wait for the connection time-out.
    EXPECT_EQ (request.wait_for (std::chrono::seconds (15)), std::future_status::ready);

    // Lets a request without a time-out go on, so that the test ends either way.
    silent->closeConnections();

    EXPECT_EQ (request.get(), -1);
    EXPECT_TRUE (token == tokenBefore);
}
