#include "support/FakeOpener.h"

FakeOpener::FakeOpener (const juce::StringArray& programs, const juce::StringArray& failing)
{
    bin = TestSupport::makeTempFolder ("opener-bin");
    calls = TestSupport::makeTempFolder ("opener-calls");
    trap = TestSupport::makeTempFolder ("opener-trap");

    juce::File ("/bin/mv").createSymbolicLink (bin.getChildFile ("mv"), true);
    juce::File ("/bin/touch").createSymbolicLink (bin.getChildFile ("touch"), true);

    for (auto& program : programs)
    {
        auto call = calls.getChildFile (program).getFullPathName() + "-";
        auto script = bin.getChildFile (program);
        script.replaceWithText ("#!/bin/sh\n"
                                "f='"
                                    + call + "'$$\n"
                                             "{ echo '"
                                    + program + "'; echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$f.part\"\n"
                                                "mv \"$f.part\" \"$f\"\n"
                                                "exit "
                                    + juce::String (failing.contains (program) ? 1 : 0) + "\n",
                                false,
                                false,
                                "\n");
        script.setExecutePermission (true);
    }

    savedPath = juce::SystemStats::getEnvironmentVariable ("PATH", {});
    ::setenv ("PATH", bin.getFullPathName().toRawUTF8(), 1);
}

FakeOpener::~FakeOpener()
{
    ::setenv ("PATH", savedPath.toRawUTF8(), 1);
}

juce::StringArray FakeOpener::readCalls() const
{
    juce::StringArray found;

    for (auto& file : calls.findChildFiles (juce::File::findFiles, false))
    {
        if (file.hasFileExtension ("part"))
            continue;

        // The program's name, the number of its arguments, then one a line.
        juce::StringArray lines;
        file.readLines (lines);
        juce::StringArray arguments;

        for (int i = 0; i < lines[1].getIntValue(); ++i)
            arguments.add (lines[i + 2]);

        found.add (describeCall (lines[0], arguments));
    }

    return found;
}

juce::String FakeOpener::waitForCalls (int count)
{
    TestSupport::pumpUntil ([&]
                            { return readCalls().size() >= count; },
                            20000);
    TestSupport::pumpFor (300);
    return listCalls (readCalls());
}

juce::String FakeOpener::listCalls (juce::StringArray calls)
{
    calls.sort (false);
    return calls.joinIntoString ("\n");
}

juce::StringArray FakeOpener::getShellTraps() const
{
    auto folder = trap.getFullPathName();
    return { "https://example.org/a$(touch " + folder + "/dollar)b",
             "http://example.org/`touch " + folder + "/backquote`",
             "https://example.org/x\";touch " + folder + "/semicolon;\"y" };
}

juce::String FakeOpener::describeCall (const juce::String& program, const juce::StringArray& arguments)
{
    return program + " [" + arguments.joinIntoString ("] [") + "]";
}
