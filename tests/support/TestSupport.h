#pragma once

#include "app/Common.h"

#include <functional>
#include <gtest/gtest.h>
#include <httplib.h>
#include <thread>

// Every test process runs with a fresh home folder of its own (HOME, TMPDIR),
// the framework's GUI support and the application object with its two stores
// and folders opened, but without a main window.
namespace TestSupport
{
juce::File getTestHome();

// A new, empty folder below the test home.
juce::File makeTempFolder (const juce::String& prefix = "folder");

// Runs the message loop until the condition holds or the time runs out.
bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 10000);
void pumpFor (int milliseconds);

// Paints a component with its children into an image of its size.
juce::Image paintToImage (juce::Component& component);

// Mouse events as the window system delivers them, through the peer of the component's
// window (the component must be on the desktop), at a point of the component.
void sendMouseDown (juce::Component& component, juce::Point<int> position, juce::ModifierKeys buttons);
void sendMouseUp (juce::Component& component, juce::Point<int> position);

// Presses and releases the button clicks times in a row, as one multiple click.
void sendClicks (juce::Component& component, juce::Point<int> position, juce::ModifierKeys buttons, int clicks);
} // namespace TestSupport

// An HTTP server on 127.0.0.1 and an ephemeral port, for the length of a test.
class LoopbackServer
{
public:
    LoopbackServer();
    ~LoopbackServer();

    httplib::Server& server() { return http; }

    // Starts listening on an ephemeral port, or on the given one; add the handlers before.
    void start();
    bool startOn (int fixedPort);
    void stop();

    int getPort() const { return port; }
    juce::String getUrl (const juce::String& path = {}) const;

private:
    void listen();

    httplib::Server http;
    std::thread thread;
    int port = 0;

    JUCE_DECLARE_NON_COPYABLE (LoopbackServer)
};

// A TCP port on 127.0.0.1 that nothing listens on.
int getClosedLoopbackPort();
