#include "support/TestSupport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport
{
juce::File getTestHome()
{
    return juce::File (juce::SystemStats::getEnvironmentVariable ("HOME", {}));
}

juce::File makeTempFolder (const juce::String& prefix)
{
    auto folder = getTestHome().getChildFile ("tmp").getNonexistentChildFile (prefix, {}, false);
    folder.createDirectory();
    return folder;
}

bool pumpUntil (const std::function<bool()>& condition, int timeoutMs)
{
    auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
    }

    return true;
}

void pumpFor (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

juce::Image paintToImage (juce::Component& component)
{
    juce::Image image (juce::Image::ARGB, juce::jmax (1, component.getWidth()), juce::jmax (1, component.getHeight()), true);
    juce::Graphics g (image);
    component.paintEntireComponent (g, true);
    return image;
}
namespace
{
    void sendMouseEvent (juce::Component& component, juce::Point<int> position, juce::ModifierKeys buttons)
    {
        auto* peer = component.getPeer();
        jassert (peer != nullptr);

        if (peer == nullptr)
            return;

        auto inPeer = peer->getComponent().getLocalPoint (&component, position).toFloat();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
                                inPeer,
                                juce::ModifierKeys::currentModifiers.withoutMouseButtons().withFlags (buttons.getRawFlags()),
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation,
                                juce::Time::currentTimeMillis());
    }
} // namespace

void sendMouseDown (juce::Component& component, juce::Point<int> position, juce::ModifierKeys buttons)
{
    // The pointer arrives first, as it would.
    sendMouseEvent (component, position, {});
    sendMouseEvent (component, position, buttons);
}

void sendMouseUp (juce::Component& component, juce::Point<int> position)
{
    sendMouseEvent (component, position, {});
}

void sendClicks (juce::Component& component, juce::Point<int> position, juce::ModifierKeys buttons, int clicks)
{
    for (int i = 0; i < clicks; ++i)
    {
        sendMouseDown (component, position, buttons);
        sendMouseUp (component, position);
    }
}
} // namespace TestSupport

LoopbackServer::LoopbackServer()
{
    // Address reuse only: with the library's default SO_REUSEPORT a second server on a
    // fixed port would bind without an error and share its connections.
    http.set_socket_options ([] (socket_t socket)
                             {
                                 int yes = 1;
                                 ::setsockopt (socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes)); });
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::start()
{
    port = http.bind_to_any_port ("127.0.0.1");
    listen();
}

bool LoopbackServer::startOn (int fixedPort)
{
    if (! http.bind_to_port ("127.0.0.1", fixedPort))
        return false;

    port = fixedPort;
    listen();
    return true;
}

void LoopbackServer::listen()
{
    thread = std::thread ([this]
                          { http.listen_after_bind(); });
    while (! http.is_running())
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
}

void LoopbackServer::stop()
{
    if (thread.joinable())
    {
        http.stop();
        thread.join();
    }
}

juce::String LoopbackServer::getUrl (const juce::String& path) const
{
    return "http://127.0.0.1:" + juce::String (port) + path;
}

int getClosedLoopbackPort()
{
    // Bind, read the port, close: nothing listens there afterwards.
    auto fd = ::socket (AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind (fd, reinterpret_cast<sockaddr*> (&address), sizeof (address));
    socklen_t length = sizeof (address);
    ::getsockname (fd, reinterpret_cast<sockaddr*> (&address), &length);
    ::close (fd);
    return ntohs (address.sin_port);
}
