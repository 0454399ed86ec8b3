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
    // The program's exit status once it has ended, as a shell reports it: 128 plus the
    // signal's number when a signal ended it (the framework's child process reads 0 then).
    juce::uint32 getExitCode();
    void kill() { process.kill(); }

    juce::File getHome() const { return home; }
    juce::File getTempFolder() const { return home.getChildFile (".cache/Tavoline Audio Velmora"); }
    juce::File getSettingsFolder() const { return home.getChildFile (".config/Tavoline Audio"); }

    // The program's main window on the screen, once it is shown (empty before), and
    // clicks at a point of the window.
    juce::Rectangle<int> findWindow();
    void clickInWindow (juce::Point<int> position);
    void pressCloseButton() { clickInWindow ({ 1182, 13 }); }

private:
    juce::File getStatusFile() const { return home.getChildFile ("exit-status"); }

    juce::File home;
    juce::ChildProcess process;
    juce::Rectangle<int> window;
};
