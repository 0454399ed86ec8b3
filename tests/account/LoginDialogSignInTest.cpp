#include "account/LoginDialogTestSupport.h"

namespace
{
const std::string tokenAnswer { R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":{"accessToken":"abc123"}}}})" };
const std::string refusedAnswer { R"({"data":{"customerAccessTokenCreate":{"customerAccessToken":null}}})" };
// The account service on its built-in port, answering its sign-in path with a
// body that never ends, 100 bytes every 200 ms: slow, but never silent.
struct DrippingService
{
    DrippingService()
    {
        loopback.server().Get ("/account/api/login", [this] (const httplib::Request&, httplib::Response& response)
                               {
                                   ++requests;
                                   response.set_chunked_content_provider ("application/json", [this] (size_t, httplib::DataSink& sink)
                                                                          {
                                                                              for (int waited = 0; waited < 200 && ! stopping; waited += 10)
                                                                                  std::this_thread::sleep_for (std::chrono::milliseconds (10));

                                                                              return ! stopping && sink.write (std::string (100, ' ').data(), 100); }); });

        if (! startOnFixedPort (loopback, accountServicePort))
            ADD_FAILURE() << "port " << accountServicePort << " is taken";
    }

    ~DrippingService()
    {
        stopping = true;
        loopback.stop();
    }

    std::atomic<bool> stopping { false };
    std::atomic<int> requests { 0 };
    LoopbackServer loopback;
};

// The ways a sign-in can stall: the service accepts and never answers, or it
// drips an endless answer, or (with nothing to send) every probe site accepts
// and never answers.
enum class Stall
{
    silentService,
    drippingService,
    silentProbeSites
};

struct StalledSignIn
{
    explicit StalledSignIn (Stall stall)
    {
        if (stall == Stall::silentService)
            silentService = SilentListener::onFixedPort (accountServicePort, SilentListener::Mode::holdOpen);
        else if (stall == Stall::drippingService)
            drippingService = std::make_unique<DrippingService>();

        if (stall == Stall::silentProbeSites)
            for (int i = 0; i < 3; ++i)
                silentProbeSites.push_back (SilentListener::onFixedPort (firstProbeSitePort + i, SilentListener::Mode::holdOpen));
    }

    // Waits until the stalled party has been reached.
    bool waitUntilReached() const
    {
        if (silentService != nullptr)
            return silentService->waitForAttempts (1);

        if (drippingService != nullptr)
            return TestSupport::pumpUntil ([this]
                                           { return drippingService->requests.load() == 1; });

        return silentProbeSites.front()->waitForAttempts (1);
    }

    std::unique_ptr<SilentListener> silentService;
    std::unique_ptr<DrippingService> drippingService;
    std::vector<std::unique_ptr<SilentListener>> silentProbeSites;
};
} // namespace

// Sign-ins against the built-in endpoint (loopback 47800) and the built-in
// probe sites (loopback 47801..47803).
class LoginDialogSignIn : public LoginDialogFixture
{
protected:
    static std::unique_ptr<AccountService> serveAccount (int status, std::string body, int delayMs = 0)
    {
        auto service = std::make_unique<AccountService>();
        service->answerWith (status, std::move (body), delayMs);

        if (! startOnFixedPort (*service, accountServicePort))
            ADD_FAILURE() << "port " << accountServicePort << " is taken";

        return service;
    }

    static std::unique_ptr<AccountService> serveProbeSite()
    {
        auto site = std::make_unique<AccountService> ("/");
        site->answerWith (200, "<html></html>");

        if (! startOnFixedPort (*site, firstProbeSitePort))
            ADD_FAILURE() << "port " << firstProbeSitePort << " is taken";

        return site;
    }

    std::unique_ptr<LoginDialog> makeListenedDialog()
    {
        auto dialog = makeDialog();
        dialog->addChangeListener (&changes);
        return dialog;
    }

    static void fillAndPress (LoginDialog& dialog, const juce::String& mail, const juce::String& password)
    {
        dialog.mailEditor.setText (mail);
        dialog.passwordEditor.setText (password);
        dialog.buttonClicked (&dialog.loginButton);
    }

    // Waits for the worker alone, with the message loop standing still.
    static bool waitWithoutMessages (const std::function<bool()>& condition)
    {
        for (int i = 0; i < 2000 && ! condition(); ++i)
            juce::Thread::sleep (5);

        return condition();
    }

    // Pumps until the sign-in has reported, by a new bubble or by hiding.
    static bool waitForReport (LoginDialog& dialog, juce::BubbleMessageComponent* bubbleBefore = nullptr)
    {
        return TestSupport::pumpUntil ([&]
                                       { return dialog.bubble.get() != bubbleBefore || ! dialog.isVisible(); });
    }

    ChangeCounter changes;
};

TEST_F (LoginDialogSignIn, EachOutcomeIsReportedOnce)
{
    struct Case
    {
        const char* name;
        bool serviceAnswers;
        int status;
        std::string body;
        bool probeAnswers;
        const char* message; // nullptr: signed in
        int expectedResult;
    };

    const std::vector<Case> cases {
        { "token", true, 200, tokenAnswer, true, nullptr, 2 },
        { "refused", true, 401, refusedAnswer, true, "Not possible login, check mail and password", 1 },
        { "not JSON", true, 502, "<html>Bad gateway</html>", false, "Not possible login, check mail and password", 1 },
        { "service down, Internet up", false, 0, {}, true, "Server not available", 0 },
        { "nothing reachable", false, 0, {}, false, "Check internet connection", -1 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        changes.count = 0;

        auto service = c.serviceAnswers ? serveAccount (c.status, c.body) : nullptr;
        auto probeSite = c.probeAnswers ? serveProbeSite() : nullptr;

        auto dialog = makeListenedDialog();
        fillAndPress (*dialog, "jane@example.org", "pw");
        EXPECT_EQ (dialog->loginButton.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::WaitCursor));

        ASSERT_TRUE (waitForReport (*dialog));
        TestSupport::pumpFor (300);

        EXPECT_EQ (dialog->loginResult.load(), c.expectedResult);
        EXPECT_EQ (dialog->loginButton.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::NormalCursor));

        if (service != nullptr)

        {
            EXPECT_EQ (service->getRequestCount(), 1);
        }

        // An answer from the service is never followed by the probe.
        if (probeSite != nullptr)
        {
            EXPECT_EQ (probeSite->getRequestCount(), c.serviceAnswers ? 0 : 1);
        }

        if (c.message == nullptr)
        {
            EXPECT_FALSE (dialog->isVisible());
            EXPECT_EQ (countBubbles (*dialog), 0);
            EXPECT_EQ (changes.count, 1);
            EXPECT_TRUE (dialog->accessToken == "abc123");
        }
        else
        {
            EXPECT_TRUE (dialog->isVisible());
            EXPECT_TRUE (showsBubble (*dialog, c.message, dialog->loginButton));
            EXPECT_EQ (changes.count, 0);
        }
    }
}

TEST_F (LoginDialogSignIn, StartUpWithoutBothCredentialsSendsNothingAndProbes)
{
    struct Case
    {
        const char* name;
        const char* storedMail;
        bool probeAnswers;
        const char* message;
    };

    const std::vector<Case> cases {
        { "nothing stored, Internet up", nullptr, true, "Server not available" },
        { "nothing stored, nothing reachable", nullptr, false, "Check internet connection" },
        { "only the mail stored", "jane@example.org", true, "Server not available" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        store()->clear();

        if (c.storedMail != nullptr)
            store()->setValue (loginMail, c.storedMail);

        auto service = serveAccount (200, tokenAnswer);
        auto probeSite = c.probeAnswers ? serveProbeSite() : nullptr;

        auto dialog = makeListenedDialog();
        dialog->startLogin();

        ASSERT_TRUE (waitForReport (*dialog));
        EXPECT_TRUE (showsBubble (*dialog, c.message, dialog->loginButton));
        EXPECT_EQ (service->getRequestCount(), 0);

        if (probeSite != nullptr)

        {
            EXPECT_EQ (probeSite->getRequestCount(), 1);
        }

        EXPECT_EQ (changes.count, 0);
    }
}

TEST_F (LoginDialogSignIn, LoginStoresAndSendsTheFieldsExactlyAsTyped)
{
    struct Case
    {
        const char* name;
        juce::String mail, password;
    };

    const std::vector<Case> cases {
        { "lone at sign", "@", "pw" },
        { "password of blanks", "jane@example.org", "   " },
        { "blanks around both", "  jane@example.org ", " p w " },
        { "characters to escape", "a+b&c=d@example.org", juce::String::fromUTF8 ("p\xc3\xa4ss &=+ w\xc3\xb6rd") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        store()->clear();
        auto service = serveAccount (401, refusedAnswer);

        auto dialog = makeListenedDialog();
        fillAndPress (*dialog, c.mail, c.password);

        // Stored at once, before any answer.
        EXPECT_EQ (store()->getValue (loginMail), c.mail);
        EXPECT_TRUE (store()->getValue (loginPassword) == c.password);

        ASSERT_TRUE (waitForReport (*dialog));

        auto requests = service->getRequests();
        ASSERT_EQ (requests.size(), (size_t) 1);
        ASSERT_EQ (requests[0].parameters.size(), (size_t) 2);
        EXPECT_TRUE (juce::String::fromUTF8 (requests[0].parameters[0].second.c_str()) == c.mail);
        EXPECT_TRUE (juce::String::fromUTF8 (requests[0].parameters[1].second.c_str()) == c.password);

        // The file is written after the store's delay, whatever the outcome.
        EXPECT_TRUE (store()->saveIfNeeded());
        juce::PropertiesFile reread (store()->getFile(), VelmoraApplication::makeStoreOptions ("Vorore Zozavad"));
        EXPECT_EQ (reread.getValue (loginMail), c.mail);
        EXPECT_TRUE (reread.getValue (loginPassword) == c.password);
    }
}

TEST_F (LoginDialogSignIn, LoginPressedAgainDuringASlowAnswerSendsOneRequest)
{
    auto service = serveAccount (200, tokenAnswer, 1500);

    auto dialog = makeListenedDialog();
    fillAndPress (*dialog, "jane@example.org", "pw");
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return service->getRequestCount() == 1; }));

    // The second press stores the fields again and says the server is busy.
    store()->clear();
    fillAndPress (*dialog, "jane@example.org", "pw");
    EXPECT_TRUE (showsBubble (*dialog, "Server is loading...", dialog->loginButton));
    EXPECT_EQ (store()->getValue (loginMail), "jane@example.org");
    EXPECT_EQ (dialog->loginButton.getMouseCursor(), juce::MouseCursor (juce::MouseCursor::WaitCursor));

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! dialog->isVisible(); }));
    TestSupport::pumpFor (500);

    EXPECT_EQ (service->getRequestCount(), 1);
    EXPECT_EQ (changes.count, 1);
    EXPECT_EQ (dialog->loginResult.load(), 2);
}

TEST_F (LoginDialogSignIn, ANewSignInCancelsTheReportStillPending)
{
    auto service = serveAccount (401, refusedAnswer);

    auto dialog = makeListenedDialog();
    fillAndPress (*dialog, "jane@example.org", "wrong");

    // The refusal is in, its 100 ms report not yet shown: the message loop does not
    // run while waiting, so however long the wait, the report cannot come in between ...
    ASSERT_TRUE (waitWithoutMessages ([&]
                                      { return dialog->loginResult.load() == 1 && ! dialog->isThreadRunning(); }));
    ASSERT_EQ (dialog->bubble, nullptr);

    // ... when the user signs in again, slowly and this time successfully.
    service->answerWith (200, tokenAnswer, 500);
    fillAndPress (*dialog, "jane@example.org", "right");

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! dialog->isVisible(); }));
    TestSupport::pumpFor (300);

    // Neither the stale refusal nor a stale "no connection" was shown.
    EXPECT_EQ (countBubbles (*dialog), 0);
    EXPECT_EQ (changes.count, 1);
    EXPECT_EQ (service->getRequestCount(), 2);
}

TEST_F (LoginDialogSignIn, TypingDuringASignInDoesNotChangeWhatIsSent)
{
    auto service = serveAccount (401, refusedAnswer, 300);

    auto dialog = makeListenedDialog();
    fillAndPress (*dialog, "jane@example.org", "first");

    for (int i = 0; i < 50; ++i)
    {
        dialog->mailEditor.setText ("typing" + juce::String (i) + "@example.org");
        dialog->passwordEditor.setText ("typing" + juce::String (i));
        TestSupport::pumpFor (1);
    }

    ASSERT_TRUE (waitForReport (*dialog));

    auto requests = service->getRequests();
    ASSERT_EQ (requests.size(), (size_t) 1);
    ASSERT_EQ (requests[0].parameters.size(), (size_t) 2);
    EXPECT_EQ (requests[0].parameters[0].second, "jane@example.org");
    EXPECT_TRUE (requests[0].parameters[1].second == "first");
}

TEST_F (LoginDialogSignIn, AfterLogOutNothingIsSentUntilLogin)
{
    auto service = serveAccount (200, tokenAnswer);

    auto dialog = makeListenedDialog();
    fillAndPress (*dialog, "jane@example.org", "pw");
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return changes.count == 1; }));

    // Log-out: the owner shows the overlay again.
    dialog->setVisible (true);
    TestSupport::pumpFor (500);
    EXPECT_EQ (service->getRequestCount(), 1);
    EXPECT_EQ (dialog->mailEditor.getText(), "jane@example.org");
    EXPECT_TRUE (dialog->passwordEditor.getText() == "pw");
    EXPECT_EQ (changes.count, 1);

    dialog->buttonClicked (&dialog->loginButton);
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return changes.count == 2; }));
    EXPECT_FALSE (dialog->isVisible());
    EXPECT_EQ (service->getRequestCount(), 2);
}

TEST_F (LoginDialogSignIn, DestructionDuringASignInReportsNothing)
{
    struct Case
    {
        const char* name;
        int answerDelayMs;
        bool waitForThePendingReport; // destroy while the 100 ms timer is pending
    };

    const std::vector<Case> cases {
        { "request in flight", 1500, false },
        { "report pending", 0, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        changes.count = 0;
        auto service = serveAccount (200, tokenAnswer, c.answerDelayMs);

        auto dialog = makeListenedDialog();
        fillAndPress (*dialog, "jane@example.org", "pw");

        if (c.waitForThePendingReport)
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return dialog->loginResult.load() == 2 && ! dialog->isThreadRunning(); }));
        else
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return service->getRequestCount() == 1; }));

        ASSERT_TRUE (dialog->isVisible());
        dialog = nullptr;
        TestSupport::pumpFor (400);

        EXPECT_EQ (changes.count, 0);
    }
}

TEST_F (LoginDialogSignIn, NoProbeOnceTheWorkerWasAskedToStop)
{
    auto service = SilentListener::onFixedPort (accountServicePort, SilentListener::Mode::holdOpen);
    ASSERT_TRUE (service->isListening());
    auto probeSite = serveProbeSite();

    auto dialog = makeListenedDialog();
    fillAndPress (*dialog, "jane@example.org", "pw");
    ASSERT_TRUE (service->waitForAttempts (1));

    // Asked to stop while the request waits, which then fails without an answer.
    dialog->signalThreadShouldExit();
    service->closeConnections();
    ASSERT_TRUE (dialog->waitForThreadToExit (10000));

    EXPECT_EQ (probeSite->getRequestCount(), 0);
}

TEST_F (LoginDialogSignIn, AStalledServiceEndsAsOneThatDoesNotAnswer)
{
    for (auto stall : { Stall::silentService, Stall::drippingService })
    {
        SCOPED_TRACE (stall == Stall::silentService ? "silent" : "dripping");
        StalledSignIn service (stall);
        auto probeSite = serveProbeSite();

        auto dialog = makeListenedDialog();
        fillAndPress (*dialog, "jane@example.org", "pw");
        ASSERT_TRUE (service.waitUntilReached());

        // A generous bound on the wait for the request's time-out or its bound.
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return dialog->bubble != nullptr; },
                                             30000));
        EXPECT_TRUE (showsBubble (*dialog, "Server not available", dialog->loginButton));
        EXPECT_EQ (dialog->loginResult.load(), 0);
        EXPECT_EQ (probeSite->getRequestCount(), 1);
    }
}

// A worker still blocked when the wait of a stopped thread runs out is killed,
// which ends the process; closing must instead end the stalled call.
TEST_F (LoginDialogSignIn, DestructionDuringAStallEndsTheWorkerWithoutKillingIt)
{
    struct Case
    {
        const char* name;
        Stall stall;
    };

    const Case cases[] = {
        { "service accepts and never answers", Stall::silentService },
        { "service drips an endless answer", Stall::drippingService },
        { "probe sites accept and never answer", Stall::silentProbeSites },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        changes.count = 0;
        StalledSignIn stalled (c.stall);

        auto dialog = makeListenedDialog();

        if (c.stall == Stall::silentProbeSites)
            dialog->startLogin(); // nothing stored: the probe runs alone
        else
            fillAndPress (*dialog, "jane@example.org", "pw");

        ASSERT_TRUE (stalled.waitUntilReached());
        dialog = nullptr;
        TestSupport::pumpFor (200);

        EXPECT_EQ (changes.count, 0);

        // The probe ended at the site it was waiting for; no further site was tried.
        size_t probeAttempts = 0;

        for (auto& site : stalled.silentProbeSites)
            probeAttempts += site->getAttempts().size();

        EXPECT_EQ (probeAttempts, c.stall == Stall::silentProbeSites ? (size_t) 1 : (size_t) 0);
    }
}
