#pragma once

#include "support/TestSupport.h"

// The built program, run as a child process with a home folder of its own.
class ProgramProcess
{
public:
    explicit ProgramProcess (juce::File homeFolder);
    ~ProgramProcess();

    bool start();
    bool isRunning() { return process.isRunning(); }
    bool waitForExit (int timeoutMs) { return process.waitForProcessToFinish (timeoutMs); }
    juce::uint32 getExitCode() { return process.getExitCode(); }
    void kill() { process.kill(); }

    juce::File getHome() const { return home; }
    juce::File getTempFolder() const { return home.getChildFile (".cache/Tavoline Audio Velmora"); }
    juce::File getSettingsFolder() const { return home.getChildFile (".config/Tavoline Audio"); }

private:
    juce::File home;
    juce::ChildProcess process;
};
