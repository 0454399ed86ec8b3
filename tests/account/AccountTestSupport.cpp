#include "account/AccountTestSupport.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

AccountService::AccountService (std::string pathToServe)
    : path (std::move (pathToServe))
{
    loopback.server().Get (path, [this] (const httplib::Request& request, httplib::Response& response)
                           {
                               Request record;
                               record.method = request.method;
                               record.path = request.path;

                               auto target = request.target;
                               auto question = target.find ('?');
                               record.query = question == std::string::npos ? std::string() : target.substr (question + 1);

                               for (const auto& parameter : request.params)
                                   record.parameters.emplace_back (parameter.first, parameter.second);

                               int answerStatus = 0;
                               std::string answerBody;
                               int answerDelay = 0;

                               {
                                   std::lock_guard<std::mutex> guard (lock);
                                   requests.push_back (record);
                                   answerStatus = status;
                                   answerBody = body;
                                   answerDelay = delayMs;
                               }

                               if (answerDelay > 0)
                                   std::this_thread::sleep_for (std::chrono::milliseconds (answerDelay));

                               response.status = answerStatus;
                               response.set_content (answerBody, "application/json"); });
}

void AccountService::answerWith (int newStatus, std::string newBody, int newDelayMs)
{
    std::lock_guard<std::mutex> guard (lock);
    status = newStatus;
    body = std::move (newBody);
    delayMs = newDelayMs;
}

bool AccountService::startOn (int port)
{
    return loopback.startOn (port);
}

std::vector<AccountService::Request> AccountService::getRequests() const
{
    std::lock_guard<std::mutex> guard (lock);
    return requests;
}

//==============================================================================
namespace
{
std::atomic<int> attemptSequence { 0 };
}

SilentListener::SilentListener (int wantedPort, Mode listenerMode)
    : mode (listenerMode)
{
    socketFd = ::socket (AF_INET, SOCK_STREAM, 0);

    int reuse = 1;
    ::setsockopt (socketFd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof (reuse));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = htons ((uint16_t) wantedPort);

    auto bound = ::bind (socketFd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0;

    // A fixed port may still be held for a moment by a connection of another process.
    for (int attempt = 0; ! bound && wantedPort != 0 && attempt < 50; ++attempt)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
        bound = ::bind (socketFd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) == 0;
    }

    if (! bound || ::listen (socketFd, 16) != 0)
    {
        ::close (socketFd);
        socketFd = -1;
        return;
    }

    socklen_t length = sizeof (address);
    ::getsockname (socketFd, reinterpret_cast<sockaddr*> (&address), &length);
    port = ntohs (address.sin_port);

    thread = std::thread ([this]
                          { acceptLoop(); });
}

SilentListener::~SilentListener()
{
    stopping = true;

    if (thread.joinable())
        thread.join();

    closeConnections();

    if (socketFd >= 0)
        ::close (socketFd);
}

std::unique_ptr<SilentListener> SilentListener::onFixedPort (int wantedPort, Mode listenerMode)
{
    for (int attempt = 0;; ++attempt)
    {
        auto listener = std::make_unique<SilentListener> (wantedPort, listenerMode);

        if (listener->isListening() || attempt == 100)
            return listener;

        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
}

void SilentListener::acceptLoop()
{
    while (! stopping)
    {
        pollfd entry { socketFd, POLLIN, 0 };

        if (::poll (&entry, 1, 20) <= 0)
            continue;

        auto connection = ::accept (socketFd, nullptr, nullptr);

        if (connection < 0)
            continue;

        std::lock_guard<std::mutex> guard (lock);
        attempts.push_back (++attemptSequence);

        if (mode == Mode::holdOpen)
            heldConnections.push_back (connection);
        else
            ::close (connection);
    }
}

bool SilentListener::waitForAttempts (size_t count, int timeoutMs) const
{
    for (int waited = 0; waited < timeoutMs; waited += 5)
    {
        if (getAttempts().size() >= count)
            return true;

        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    return getAttempts().size() >= count;
}

void SilentListener::closeConnections()
{
    std::lock_guard<std::mutex> guard (lock);

    for (auto connection : heldConnections)
        ::close (connection);

    heldConnections.clear();
}

std::vector<int> SilentListener::getAttempts() const
{
    std::lock_guard<std::mutex> guard (lock);
    return attempts;
}

void SilentListener::resetSequence()
{
    attemptSequence = 0;
}
