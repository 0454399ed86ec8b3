#include "ProgramProcess.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace
{
juce::String runCommand (const juce::StringArray& command)
{
    juce::ChildProcess process;

    if (! process.start (command))
        return {};

    auto output = process.readAllProcessOutput();
    process.waitForProcessToFinish (10000);
    return output;
}

// The program's window: its X id and its top-left corner on the screen.
struct ProgramWindow
{
    juce::String id;
    juce::Point<int> position;

    // A point of the content area, which starts 1 right of and 27 below the corner.
    juce::Point<int> inContent (int x, int y) const { return position + juce::Point<int> (1 + x, 27 + y); }
};

ProgramWindow findProgramWindow()
{
    ProgramWindow window;
    window.id = runCommand ({ "xdotool", "search", "--onlyvisible", "--name", "Tavoline Audio Velmora" })
                    .trim()
                    .upToFirstOccurrenceOf ("\n", false, false);

    if (window.id.isEmpty())
        return window;

    juce::StringPairArray values;

    for (auto& line : juce::StringArray::fromLines (runCommand ({ "xdotool", "getwindowgeometry", "--shell", window.id })))
        values.set (line.upToFirstOccurrenceOf ("=", false, false), line.fromFirstOccurrenceOf ("=", false, false));

    window.position = { values["X"].getIntValue(), values["Y"].getIntValue() };
    return window;
}

void click (juce::Point<int> screenPosition)
{
    runCommand ({ "xdotool", "mousemove", juce::String (screenPosition.x), juce::String (screenPosition.y), "click", "1" });
}

// Replaces the text of the field under the position with the given text.
void typeInto (juce::Point<int> field, const juce::String& text)
{
    click (field);
    runCommand ({ "xdotool", "key", "ctrl+a", "BackSpace" });
    runCommand ({ "xdotool", "type", "--delay", "20", text });
}

// TCP listeners on the built-in probe sites' ports that accept every connection
// and never answer, by HTTP or in the secure handshake, until they are destroyed.
class StalledSites
{
public:
    StalledSites (int firstPort, int count)
    {
        for (int i = 0; i < count; ++i)
            listen (firstPort + i);

        thread = std::thread ([this]
                              { acceptLoop(); });
    }

    ~StalledSites()
    {
        stopping = true;
        thread.join();

        for (auto fd : listeners)
            ::close (fd);

        for (auto fd : connections)
            ::close (fd);
    }

    bool allListening() const { return ! failed; }
    int getConnectionCount() const { return connectionCount.load(); }

private:
    void listen (int port)
    {
        // A port still held by an earlier test's connection is freed within a few seconds.
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            auto fd = ::socket (AF_INET, SOCK_STREAM, 0);
            int yes = 1;
            ::setsockopt (fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes));

            sockaddr_in address {};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
            address.sin_port = htons ((uint16_t) port);

            if (::bind (fd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0 && ::listen (fd, 16) == 0)
            {
                listeners.push_back (fd);
                return;
            }

            ::close (fd);
            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }

        failed = true;
    }

    void acceptLoop()
    {
        while (! stopping)
        {
            std::vector<pollfd> waiting;

            for (auto fd : listeners)
                waiting.push_back ({ fd, POLLIN, 0 });

            if (::poll (waiting.data(), (nfds_t) waiting.size(), 20) <= 0)
                continue;

            for (auto& entry : waiting)
            {
                if ((entry.revents & POLLIN) == 0)
                    continue;

                auto connection = ::accept (entry.fd, nullptr, nullptr);

                if (connection >= 0)
                {
                    connections.push_back (connection);
                    ++connectionCount;
                }
            }
        }
    }

    std::vector<int> listeners;
    std::vector<int> connections; // accept thread only, until it has ended
    bool failed = false;
    std::atomic<bool> stopping { false };
    std::atomic<int> connectionCount { 0 };
    std::thread thread;
};

// The storage endpoint and the account service on their built-in port: an empty
// catalogue at once, and a sign-in request that is never answered.
class StalledAccountService
{
public:
    StalledAccountService()
    {
        loopback.server().Get ("/installer/Velmora/AppPlugins.xml", [] (const httplib::Request&, httplib::Response& response)
                               { response.set_content ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                       "<INSTALLATION_MANAGER productUpdateCount=\"0\" version=\"1.0.10\"/>\n",
                                                       "application/xml"); });

        loopback.server().Get ("/account/api/login", [this] (const httplib::Request&, httplib::Response& response)
                               {
                                   ++loginRequests;

                                   while (! released)
                                       std::this_thread::sleep_for (std::chrono::milliseconds (10));

                                   response.status = 503; });
    }

    ~StalledAccountService()
    {
        released = true;
        loopback.stop();
    }

    bool start()
    {
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            if (loopback.startOn (47800))
                return true;

            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }

        return false;
    }

    int getLoginRequestCount() const { return loginRequests.load(); }

private:
    std::atomic<bool> released { false };
    std::atomic<int> loginRequests { 0 };
    LoopbackServer loopback;
};

juce::File writeLoginStore (ProgramProcess& program, const juce::String& values)
{
    auto file = program.getSettingsFolder().getChildFile ("Vorore Zozavad.settings");
    file.getParentDirectory().createDirectory();
    file.replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>" + values + "</PROPERTIES>\n");
    return file;
}
} // namespace

// Closing the window while the sign-in worker waits for a service that accepts and
// never answers, or for probe sites that do the same: the program ends normally,
// removes its temporary folder and writes the address stored by a LOGIN press just
// before closing (its store saves it only 3 s after the change otherwise).
TEST (CloseDuringSignIn, EndsCleanlyAndKeepsTheLastSetting)
{
    struct Case
    {
        const char* name;
        bool probeSitesStall; // else they answer, and LOGIN sends a request that stalls
    };

    const Case cases[] = {
        { "stalled sign-in request", false },
        { "stalled probe", true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);

        StalledAccountService service;
        ASSERT_TRUE (service.start()) << "port 47800 is taken";

        std::unique_ptr<StalledSites> stalledProbeSites;
        LoopbackServer answeringProbeSite;
        std::atomic<int> probeRequests { 0 };

        if (c.probeSitesStall)
        {
            stalledProbeSites = std::make_unique<StalledSites> (47801, 3);
            ASSERT_TRUE (stalledProbeSites->allListening()) << "a port of 47801..47803 is taken";
        }
        else
        {
            answeringProbeSite.server().Get ("/", [&] (const httplib::Request&, httplib::Response& response)
                                             { ++probeRequests; response.set_content ("<html></html>", "text/html"); });
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return answeringProbeSite.startOn (47801); },
                                                 10000))
                << "port 47801 is taken";
        }

        // Nothing stored: the start-up sign-in sends no request and probes alone.
        ProgramProcess program (TestSupport::makeTempFolder ("home"));
        auto loginFile = writeLoginStore (program, {});
        ASSERT_TRUE (program.start());

        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return c.probeSitesStall ? stalledProbeSites->getConnectionCount() >= 1
                                                                        : probeRequests.load() >= 1; },
                                             30000));

        ProgramWindow window;
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { window = findProgramWindow(); return window.id.isNotEmpty(); },
                                             30000));

        // A window found just after it mapped may not take keys yet: give it time to show
        // its panel before typing, as a user would.
        TestSupport::pumpFor (1500);

        // Keys go to the window with the input focus; there is no window manager to give it.
        runCommand ({ "xdotool", "windowfocus", "--sync", window.id });

        // The panel's fields and button in the 1198 x 600 content: the panel sits at
        // (399, 150), its rows at x 72, 256 wide, 30 high.
        typeInto (window.inContent (399 + 200, 150 + 110 + 15), "changed@example.org");
        typeInto (window.inContent (399 + 200, 150 + 146 + 15), "typed");
        click (window.inContent (399 + 200, 150 + 218 + 15));

        // With the probe done, LOGIN has sent its request, which now stalls; during
        // the stalled probe it has only stored the fields.
        if (! c.probeSitesStall)
        {
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return service.getLoginRequestCount() == 1; },
                                                 30000));
        }

        // The close button of the title bar.
        click (window.position + juce::Point<int> (1182, 13));

        // A generous bound, yet shorter than the request's 5000 ms connection time-out
        // and the probe's remaining sites: the stalled call is ended, not waited out.
        ASSERT_TRUE (program.waitForExit (4000)) << "still running 4 s after the close";
        EXPECT_EQ (program.getExitCode(), 0u);
        EXPECT_FALSE (program.getTempFolder().exists());
        EXPECT_TRUE (loginFile.loadFileAsString().contains ("changed@example.org")) << loginFile.loadFileAsString();
    }
}
