#include "support/FakeOpener.h"

FakeOpener::FakeOpener (const juce::StringArray& programs, const juce::StringArray& failing)
{
    bin = TestSupport::makeTempFolder ("opener-bin");
    calls = TestSupport::makeTempFolder ("opener-calls");
    trap = TestSupport::makeTempFolder ("opener-trap");

    juce::File ("/bin/mv").createSymbolicLink (bin.getChildFile ("mv"), true);
    juce::File ("/bin/touch").createSymbolicLink (bin.getChildFile ("touch"), true);

    // Each writes its name, the number of its arguments and the arguments one a
    // line to a file named after itself and its process, in one step.
    for (auto& program : programs)
    {
        auto call = calls.getChildFile (program).getFullPathName() + "-$$";
        juce::String script;
        script << "#!/bin/sh\n"
               << "f=\"" << call << "\"\n"
               << "{ echo '" << program << "'; echo $#; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$f.part\"\n"
               << "mv \"$f.part\" \"$f\"\n"
               << "exit " << (failing.contains (program) ? 1 : 0) << "\n";

        auto file = bin.getChildFile (program);
        file.replaceWithText (script, false, false, "\n");
        file.setExecutePermission (true);
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
    return { "https://127.0.0.1:9/a$(touch " + folder + "/dollar)b",
             "http://127.0.0.1:9/`touch " + folder + "/backquote`",
             "https://127.0.0.1:9/x\";touch " + folder + "/semicolon;\"y" };
}

juce::String FakeOpener::describeCall (const juce::String& program, const juce::StringArray& arguments)
{
    return program + " [" + arguments.joinIntoString ("] [") + "]";
}
