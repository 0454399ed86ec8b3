#include "WindowsTestSupport.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>

namespace
{
// Prints to the console: Windows' debug output goes nowhere here.
struct ConsoleRunner : public juce::UnitTestRunner
{
    void logMessage (const juce::String& message) override
    {
        std::cout << message << std::endl;
    }
};
} // namespace

juce::File WindowsTestSupport::fixtureFolder;
juce::File WindowsTestSupport::programFile;

// velmora_windows_tests FIXTURE-FOLDER VELMORA-EXE
int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::cerr << "usage: velmora_windows_tests FIXTURE-FOLDER VELMORA-EXE\n";
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI gui;
    WindowsTestSupport::fixtureFolder = juce::File (juce::String::fromUTF8 (argv[1]));
    WindowsTestSupport::programFile = juce::File (juce::String::fromUTF8 (argv[2]));

    ConsoleRunner runner;
    runner.setAssertOnFailure (false);
    runner.runTestsInCategory ("Velmora on Windows");

    int failures = 0, passes = 0;

    for (int i = 0; i < runner.getNumResults(); ++i)
    {
        failures += runner.getResult (i)->failures;
        passes += runner.getResult (i)->passes;
    }

    std::cout << "Windows unit tests: " << passes << " passed, " << failures << " failed\n";
    return failures == 0 && passes > 0 ? 0 : 1;
}
