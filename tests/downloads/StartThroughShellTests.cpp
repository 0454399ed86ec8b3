#include "DownloadsTestSupport.h"
#include "platform/PlatformLayer.h"

#include <sys/wait.h>

namespace
{
// Stand-ins for wine and the desktop's opener on a PATH of their own: each writes
// its arguments, one a line, to a marker file named after it.
class FakePrograms
{
public:
    explicit FakePrograms (bool withWine)
    {
        bin = TestSupport::makeTempFolder ("bin");
        marks = TestSupport::makeTempFolder ("marks");
        // mv is the one outside program the stand-ins and the test scripts use.
        juce::File ("/bin/mv").createSymbolicLink (bin.getChildFile ("mv"), true);
        write ("xdg-open");

        if (withWine)
            write ("wine");

        savedPath = juce::SystemStats::getEnvironmentVariable ("PATH", {});
        ::setenv ("PATH", bin.getFullPathName().toRawUTF8(), 1);
    }

    ~FakePrograms() { ::setenv ("PATH", savedPath.toRawUTF8(), 1); }

    juce::File getMarker (const juce::String& program) const { return marks.getChildFile (program); }

    juce::File bin, marks;

private:
    void write (const juce::String& program)
    {
        auto marker = marks.getChildFile (program).getFullPathName();
        auto script = bin.getChildFile (program);
        script.replaceWithText ("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + marker + ".part'\n"
                                    + "mv '" + marker + ".part' '" + marker + "'\n",
                                false,
                                false,
                                "\n");
        script.setExecutePermission (true);
    }

    juce::String savedPath;
};

juce::StringArray readLines (const juce::File& file)
{
    juce::StringArray lines;
    file.readLines (lines);
    lines.removeEmptyStrings();
    return lines;
}

enum class Expect
{
    wine,
    wineMsi,
    opener,
    runsDirectly
};

struct LaunchCase
{
    const char* name;
    juce::String fileName; // in a folder "Setup" of its own; ending in "/" makes a folder
    std::string content;
    bool wineInstalled;
    Expect expect;
};

std::string copyOfMarkerProgram()
{
    return DownloadsTest::readFile (juce::File (VELMORA_MARKER_PROGRAM));
}
} // namespace

class StartThroughShell : public ::testing::TestWithParam<LaunchCase>
{
};

TEST_P (StartThroughShell, HandsTheFileToWhatCanRunIt)
{
    const auto& c = GetParam();
    FakePrograms fakes (c.wineInstalled);

    auto folder = TestSupport::makeTempFolder ("unpacked").getChildFile ("Setup");
    auto file = folder.getChildFile (c.fileName.trimCharactersAtEnd ("/"));
    ASSERT_TRUE (folder.createDirectory());

    if (c.fileName.endsWith ("/"))
    {
        ASSERT_TRUE (file.createDirectory());
    }
    else
    {
        auto content = c.content == "marker program" ? copyOfMarkerProgram() : c.content;
        ASSERT_TRUE (file.replaceWithData (content.data(), content.size()));
    }

    // Started from inside the folder, so that anything a shell ran from the file's
    // name would show up beside the file.
    auto previous = juce::File::getCurrentWorkingDirectory();
    folder.setAsCurrentWorkingDirectory();
    PlatformLayer::startThroughShell (file);
    previous.setAsCurrentWorkingDirectory();

    auto path = file.getFullPathName();

    switch (c.expect)
    {
        case Expect::wine:
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return fakes.getMarker ("wine").existsAsFile(); }));
            EXPECT_EQ (readLines (fakes.getMarker ("wine")), juce::StringArray (path));
            break;
        case Expect::wineMsi:
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return fakes.getMarker ("wine").existsAsFile(); }));
            EXPECT_EQ (readLines (fakes.getMarker ("wine")), juce::StringArray ("msiexec", "/i", path));
            break;
        case Expect::opener:
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return fakes.getMarker ("xdg-open").existsAsFile(); }));
            EXPECT_EQ (readLines (fakes.getMarker ("xdg-open")), juce::StringArray (path));
            break;
        case Expect::runsDirectly:
        {
            auto ran = folder.getChildFile ("ran.marker");
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return ran.existsAsFile(); }));
            EXPECT_EQ (ran.loadFileAsString().trim(), folder.getFullPathName());
            EXPECT_EQ (::access (path.toRawUTF8(), X_OK), 0);
            break;
        }
    }

    TestSupport::pumpFor (200);
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), c.expect == Expect::runsDirectly ? 2 : 1);

    auto wineStarted = c.expect == Expect::wine || c.expect == Expect::wineMsi;
    EXPECT_EQ (fakes.getMarker ("wine").exists(), wineStarted);
    EXPECT_EQ (fakes.getMarker ("xdg-open").exists(), c.expect == Expect::opener);

    // Nothing of ours is left to reap: the started program is not our child.
    int status = 0;
    EXPECT_EQ (::waitpid (-1, &status, WNOHANG), -1);
    EXPECT_EQ (errno, ECHILD);
}

INSTANTIATE_TEST_SUITE_P (
    Files,
    StartThroughShell,
    ::testing::Values (
        LaunchCase { "PeWithWine", "installer.exe", "MZ\x90\x00 program", true, Expect::wine },
        LaunchCase { "PeWithoutExtensionWithWine", "installer", "MZ\x90\x00 program", true, Expect::wine },
        LaunchCase { "ExeNameWithWine", "setup.exe", "not really a program", true, Expect::wine },
        LaunchCase { "MsiWithWine", "setup.msi", "\xd0\xcf\x11\xe0 package", true, Expect::wineMsi },
        LaunchCase { "PeWithoutWine", "installer.exe", "MZ\x90\x00 program", false, Expect::opener },
        LaunchCase { "Folder", "Inner/", "", true, Expect::opener },
        LaunchCase { "Document", "readme.pdf", "%PDF-1.4", true, Expect::opener },
        LaunchCase { "ShellLettersInTheName", "a$(touch injected)`touch injected2`;touch injected3 \".pdf", "%PDF", true, Expect::opener },
        LaunchCase { "ScriptWithoutExecuteBit", "install.sh", "#!/bin/sh\npwd > ran.marker.part && mv ran.marker.part ran.marker\n", false, Expect::runsDirectly },
        LaunchCase { "NativeProgramWithoutExecuteBit", "installer", "marker program", false, Expect::runsDirectly }),
    [] (const auto& testInfo)
    { return std::string (testInfo.param.name); });
