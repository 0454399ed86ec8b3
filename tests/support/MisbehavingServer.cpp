#include "support/MisbehavingServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

MisbehavingServer::MisbehavingServer (Behaviour b,
                                      juce::MemoryBlock data,
                                      int rate,
                                      size_t stallAfter,
                                      int fixedPort,
                                      std::map<std::string, juce::MemoryBlock> answeredPaths)
    : behaviour (b), body (std::move (data)), bytesPerSecond (juce::jmax (1, rate)), stallAfterBytes (stallAfter), answered (std::move (answeredPaths))
{
    listener = ::socket (AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    ::setsockopt (listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = htons ((uint16_t) fixedPort);

    if (::bind (listener, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0)
    {
        ::close (listener);
        listener = -1;
        return;
    }

    ::listen (listener, behaviour == Behaviour::neverAccept ? 0 : 16);

    socklen_t length = sizeof (address);
    ::getsockname (listener, reinterpret_cast<sockaddr*> (&address), &length);
    port = ntohs (address.sin_port);

    // Connections of its own, never accepted, fill the backlog; the kernel then drops
    // every further connection request.
    if (behaviour == Behaviour::neverAccept)
    {
        for (int i = 0; i < 2; ++i)
        {
            auto filler = ::socket (AF_INET, SOCK_STREAM, 0);
            ::fcntl (filler, F_SETFL, O_NONBLOCK);
            ::connect (filler, reinterpret_cast<sockaddr*> (&address), sizeof (address));
            backlogFillers.push_back (filler);
        }

        std::this_thread::sleep_for (std::chrono::milliseconds (50));
    }

    acceptThread = std::thread ([this]
                                { acceptLoop(); });
}

MisbehavingServer::~MisbehavingServer()
{
    stop();
}

juce::String MisbehavingServer::getUrl (const juce::String& path) const
{
    return "http://127.0.0.1:" + juce::String (port) + path;
}

bool MisbehavingServer::waitForRequest (int timeoutMs) const
{
    for (auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
         juce::Time::getMillisecondCounter() < end;)
    {
        if (misbehavedCount.load() > 0)
            return true;

        juce::Thread::sleep (5);
    }

    return misbehavedCount.load() > 0;
}

void MisbehavingServer::stop()
{
    if (! acceptThread.joinable())
        return;

    stopping = true;
    acceptThread.join();
    ::close (listener);

    for (auto filler : backlogFillers)
        ::close (filler);
}

void MisbehavingServer::acceptLoop()
{
    std::vector<std::thread> connections;

    while (! stopping)
    {
        if (behaviour == Behaviour::neverAccept)
        {
            pause (20);
            continue;
        }

        pollfd waiting { listener, POLLIN, 0 };

        if (::poll (&waiting, 1, 20) <= 0)
            continue;

        auto connection = ::accept (listener, nullptr, nullptr);

        if (connection < 0)
            continue;

        ++connectionCount;
        connections.emplace_back ([this, connection]
                                  {
                                      serve (connection);
                                      closeAfterClient (connection); });
    }

    for (auto& connection : connections)
        connection.join();
}

void MisbehavingServer::closeAfterClient (int connection)
{
    // Closed after the client, the connection leaves no waiting state behind on the
    // server's port, which a test that binds the same fixed port next would trip over.
    while (! stopping)
    {
        pollfd waiting { connection, POLLIN, 0 };

        if (::poll (&waiting, 1, 20) > 0)
        {
            char buffer[4096];

            if (::recv (connection, buffer, sizeof (buffer), 0) <= 0)
                break;
        }
    }

    ::close (connection);
}

bool MisbehavingServer::pause (int milliseconds) const
{
    for (int waited = 0; waited < milliseconds; waited += 5)
    {
        if (stopping)
            return false;

        std::this_thread::sleep_for (std::chrono::milliseconds (5));
    }

    return ! stopping;
}

bool MisbehavingServer::sendAll (int connection, const char* data, size_t size)
{
    while (size > 0)
    {
        auto sent = ::send (connection, data, size, MSG_NOSIGNAL);

        if (sent <= 0)
            return false;

        data += sent;
        size -= (size_t) sent;
    }

    return true;
}

bool MisbehavingServer::sendHeaders (int connection, size_t bodySize)
{
    auto headers = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: "
                   + std::to_string (bodySize) + "\r\nConnection: close\r\n\r\n";

    return sendAll (connection, headers.data(), headers.size());
}

void MisbehavingServer::serve (int connection)
{
    // Read up to the end of the request's headers.
    std::string request;

    while (! stopping && request.find ("\r\n\r\n") == std::string::npos)
    {
        pollfd waiting { connection, POLLIN, 0 };

        if (::poll (&waiting, 1, 20) <= 0)
            continue;

        char buffer[4096];
        auto received = ::recv (connection, buffer, sizeof (buffer), 0);

        if (received <= 0)
            return;

        request.append (buffer, (size_t) received);
    }

    if (stopping)
        return;

    ++requestCount;

    // The path of the request line, without the query.
    auto target = request.substr (0, request.find ("\r\n"));
    auto pathStart = target.find (' ') + 1;
    auto path = target.substr (pathStart, target.find_first_of (" ?", pathStart) - pathStart);

    if (auto found = answered.find (path); found != answered.end())
    {
        if (sendHeaders (connection, found->second.getSize()))
            sendAll (connection, static_cast<const char*> (found->second.getData()), found->second.getSize());

        return;
    }

    ++misbehavedCount;

    if (behaviour == Behaviour::neverAnswer)
    {
        while (pause (1000))
        {
        }
        return;
    }

    if (! sendHeaders (connection, body.getSize()))
        return;

    auto data = static_cast<const char*> (body.getData());

    switch (behaviour)
    {
        case Behaviour::stallAfterHeaders:
            sendAll (connection, data, juce::jmin (stallAfterBytes, body.getSize()));
            while (pause (1000))
            {
            }
            break;

        case Behaviour::drip:
        {
            // Small pieces every 50 ms, so the rate holds at a few hundred bytes a second.
            auto piece = (size_t) juce::jmax (1, bytesPerSecond / 20);

            for (size_t offset = 0; offset < body.getSize(); offset += piece)
                if (! sendAll (connection, data + offset, juce::jmin (piece, body.getSize() - offset)) || ! pause (50))
                    break;

            break;
        }

        case Behaviour::dropMidBody:
            sendAll (connection, data, body.getSize() / 2);
            break;

        case Behaviour::answer:
            if (sendAll (connection, data, body.getSize()))
                ++answeredCount;

            break;

        case Behaviour::neverAccept:
        case Behaviour::neverAnswer:
            break;
    }
}
