#pragma once

#include <juce_events/juce_events.h>

#include <functional>

// What the Windows tests share: the files the script hands over, and a message
// loop to wait in.
struct WindowsTestSupport
{
    static juce::File fixtureFolder;
    static juce::File programFile;

    // Runs the message loop until the condition holds or the time is up.
    static bool pumpUntil (std::function<bool()> condition, int timeoutMs)
    {
        auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (! condition())
        {
            if (juce::Time::getMillisecondCounter() > end)
                return false;

            juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
        }

        return true;
    }

    static juce::File windowsFolder (const char* variable)
    {
        return juce::File (juce::SystemStats::getEnvironmentVariable (variable, {}));
    }
};
