#pragma once

#include "support/TestSupport.h"

// Stand-ins for the desktop's opener and the browsers it falls back on, alone on
// PATH for the life of the object. Each start of one records its arguments in a
// file of its own. The folder also holds mv (the stand-ins use it) and touch (the
// shell commands hidden in the tests' addresses use it), so that anything a shell
// ran would show.
class FakeOpener
{
public:
    // The stand-ins to make; those also named in failing exit with status 1.
    explicit FakeOpener (const juce::StringArray& programs = { "xdg-open" }, const juce::StringArray& failing = {});
    ~FakeOpener();

    // Waits, with a generous bound, until at least count starts are in, then a
    // little longer so that one too many would show. Returns every start, sorted,
    // one a line as describeCall gives it.
    juce::String waitForCalls (int count);

    // A start of the program with these arguments: "xdg-open [address]".
    static juce::String describeCall (const juce::String& program, const juce::StringArray& arguments);

    // What waitForCalls gives after these starts.
    static juce::String listCalls (juce::StringArray calls);

    // Web addresses with shell commands in them: "$(…)", backquotes, and a quote
    // with ";" that would end a quoted argument. Each command would make a file in
    // the trap folder.
    juce::StringArray getShellTraps() const;
    juce::File getTrapFolder() const { return trap; }

private:
    juce::StringArray readCalls() const;

    juce::File bin, calls, trap;
    juce::String savedPath;

    JUCE_DECLARE_NON_COPYABLE (FakeOpener)
};
