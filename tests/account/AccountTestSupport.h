#pragma once

#include "support/TestSupport.h"

#include <atomic>
#include <mutex>
#include <vector>

// A stand-in for the account service on loopback: answers every GET of one
// path with a fixed status and body, after an optional delay, and records
// each request it receives.
class AccountService
{
public:
    struct Request
    {
        std::string method;
        std::string path;
        std::string query; // as sent, still escaped
        std::vector<std::pair<std::string, std::string>> parameters; // as decoded, in order
    };

    explicit AccountService (std::string pathToServe = "/account/api/login");

    void answerWith (int status, std::string body, int delayMs = 0);

    void start() { loopback.start(); }
    bool startOn (int port);
    void stop() { loopback.stop(); }

    juce::String getUrl() const { return loopback.getUrl (juce::String (path)); }

    std::vector<Request> getRequests() const;
    int getRequestCount() const { return (int) getRequests().size(); }

private:
    std::string path;
    LoopbackServer loopback;

    mutable std::mutex lock;
    std::vector<Request> requests;
    int status = 200;
    std::string body;
    int delayMs = 0;
};

// A TCP listener on loopback that accepts each connection without a byte of
// answer: closed at once (a site that is attempted but never answers), or held
// open until closeConnections (a site that accepts and then stalls). Every
// accepted connection is numbered in one sequence shared by all listeners, so
// that the order of attempts across several listeners can be read back.
class SilentListener
{
public:
    enum class Mode
    {
        closeAtOnce,
        holdOpen
    };

    explicit SilentListener (int port = 0, Mode mode = Mode::closeAtOnce);
    ~SilentListener();

    // A listener on a fixed port, waiting up to 10 s while something else still
    // holds it (another test's connection or server may have been given it).
    static std::unique_ptr<SilentListener> onFixedPort (int port, Mode mode = Mode::closeAtOnce);

    bool isListening() const { return socketFd >= 0; }
    int getPort() const { return port; }

    // The sequence numbers of the connections this listener accepted.
    std::vector<int> getAttempts() const;

    // Waits until at least this many connections were accepted.
    bool waitForAttempts (size_t count, int timeoutMs = 10000) const;

    // Closes the connections held open so far; later ones are held again.
    void closeConnections();

    static void resetSequence();

private:
    void acceptLoop();

    const Mode mode;
    int socketFd = -1;
    int port = 0;
    std::atomic<bool> stopping { false };
    std::thread thread;

    mutable std::mutex lock;
    std::vector<int> attempts;
    std::vector<int> heldConnections;

    JUCE_DECLARE_NON_COPYABLE (SilentListener)
};

// Binds a fixed loopback port, waiting a while when it is still held by an
// earlier test process.
template <typename Server>
bool startOnFixedPort (Server& server, int port)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        if (server.startOn (port))
            return true;

        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }

    return false;
}

// Counts the change messages of one broadcaster.
struct ChangeCounter : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }

    int count = 0;
};

// The ports of the program's built-in loopback addresses in the test build.
constexpr int accountServicePort = 47800;
constexpr int firstProbeSitePort = 47801;
