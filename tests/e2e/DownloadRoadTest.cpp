#include "ProgramProcess.h"

#ifdef VELMORA_DEMO_SERVER

namespace
{
juce::String runCommand (const juce::StringArray& command)
{
    juce::ChildProcess process;

    if (! process.start (command))
        return {};

    auto output = process.readAllProcessOutput();
    process.waitForProcessToFinish (10000);
    return output;
}

struct WindowGeometry
{
    juce::String id;
    juce::Rectangle<int> bounds;
};

WindowGeometry findProgramWindow()
{
    WindowGeometry window;
    window.id = runCommand ({ "xdotool", "search", "--onlyvisible", "--name", "Tavoline Audio Velmora" })
                    .trim()
                    .upToFirstOccurrenceOf ("\n", false, false);

    if (window.id.isEmpty())
        return window;

    juce::StringPairArray values;

    for (auto& line : juce::StringArray::fromLines (runCommand ({ "xdotool", "getwindowgeometry", "--shell", window.id })))
        values.set (line.upToFirstOccurrenceOf ("=", false, false), line.fromFirstOccurrenceOf ("=", false, false));

    window.bounds = { values["X"].getIntValue(), values["Y"].getIntValue(), values["WIDTH"].getIntValue(), values["HEIGHT"].getIntValue() };
    return window;
}

juce::Image takeScreenshot (const juce::String& windowId)
{
    auto file = TestSupport::getTestHome().getChildFile ("tmp/screenshot.png");
    runCommand ({ "import", "-window", windowId, file.getFullPathName() });
    return juce::ImageFileFormat::loadFrom (file);
}

// How many pixels of the area are close to the colour.
int countPixels (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour)
{
    int count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            auto pixel = image.getPixelAt (x, y);

            if (std::abs (pixel.getRed() - colour.getRed()) < 40
                && std::abs (pixel.getGreen() - colour.getGreen()) < 40
                && std::abs (pixel.getBlue() - colour.getBlue()) < 40)
                ++count;
        }

    return count;
}

void click (juce::Point<int> screenPosition)
{
    runCommand ({ "xdotool", "mousemove", juce::String (screenPosition.x), juce::String (screenPosition.y), "click", "1" });
}

class DemoServer
{
public:
    explicit DemoServer (juce::File logFile)
        : log (std::move (logFile))
    {
    }

    ~DemoServer() { process.kill(); }

    bool start()
    {
        return process.start (juce::StringArray { "setpriv", "--pdeathsig", "KILL", "--", VELMORA_DEMO_SERVER, VELMORA_DEMO_CONTENT, "--log", log.getFullPathName() }, 0);
    }

    juce::StringArray getRequests() const { return juce::StringArray::fromLines (log.loadFileAsString()); }

    bool hasRequest (const juce::String& text) const
    {
        for (auto& line : getRequests())
            if (line.contains (text))
                return true;

        return false;
    }

private:
    juce::File log;
    juce::ChildProcess process;
};
} // namespace

TEST (DownloadRoad, FromCatalogueToTheInstalledProductAndQuit)
{
    auto home = TestSupport::makeTempFolder ("home");
    DemoServer server (home.getChildFile ("requests.log"));
    ASSERT_TRUE (server.start());
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return home.getChildFile ("requests.log").exists(); },
                                         10000));

    ProgramProcess program (home);

    // Credentials stored by an earlier run: the start-up sign-in succeeds at once.
    auto loginFile = program.getSettingsFolder().getChildFile ("Vorore Zozavad.settings");
    loginFile.getParentDirectory().createDirectory();
    loginFile.replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>"
                               "<VALUE name=\"loginMail\" val=\"demo@tavoline-audio.test\"/>"
                               "<VALUE name=\"loginPassword\" val=\"velmora\"/></PROPERTIES>\n");

    ASSERT_TRUE (program.start());

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return server.hasRequest ("GET /installer/Velmora/AppPlugins.xml"); },
                                         30000));
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return server.hasRequest ("GET /account/api/login?mail=demo@tavoline-audio.test&password=***"); },
                                         30000));

    auto imagesFolder = program.getSettingsFolder().getChildFile ("Velmora Images");
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return imagesFolder.getChildFile ("Aurel Reverb.jpg").existsAsFile(); },
                                         30000));

    auto settingsFile = program.getSettingsFolder().getChildFile ("Velmora.settings");
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return settingsFile.loadFileAsString().contains ("xmlAppProducts"); },
                                         30000));

    WindowGeometry window;
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { window = findProgramWindow(); return ! window.id.isEmpty(); },
                                         30000));
    EXPECT_EQ (window.bounds.getWidth(), 1200);
    EXPECT_EQ (window.bounds.getHeight(), 628);

    // Rows sorted by name: row 0 is "Aurel Reverb". The table starts 50 below the content's
    // top (1, 27); its header is 28 high and its rows 70; its outline is 1 wide.
    auto tableTop = window.bounds.getPosition() + juce::Point<int> (1, 27 + 50);
    auto statusCell = juce::Rectangle<int> (1 + 521, 27 + 50 + 1 + 28, 120, 70);
    auto downloadButton = tableTop + juce::Point<int> (1 + 670 + 53, 1 + 28 + 35);
    auto vst3File = home.getChildFile (".wine/drive_c/Program Files/Common Files/VST3/Aurel Reverb.vst3");
    const juce::Colour red (0xffff0000), white (0xffffffff);

    // Not installed: red text in the status cell.
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return countPixels (takeScreenshot (window.id), statusCell, red) > 20; },
                                         20000));
    EXPECT_FALSE (vst3File.exists());

    click (downloadButton);

    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return server.hasRequest ("GET /installer/Plugins/Aurel_Reverb_Win.zip Accept: application/octet-stream -> 200"); },
                                         20000));
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return vst3File.existsAsFile(); },
                                         30000));

    // The poll finds the installed file: "Latest version" in white, nothing red.
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         {
                                             auto shot = takeScreenshot (window.id);
                                             return countPixels (shot, statusCell, red) == 0 && countPixels (shot, statusCell, white) > 20; },
                                         20000));

    // The title bar's close button quits; the temporary folder goes with it.
    EXPECT_TRUE (program.getTempFolder().isDirectory());
    click (window.bounds.getPosition() + juce::Point<int> (1182, 13));
    EXPECT_TRUE (program.waitForExit (20000));
    EXPECT_FALSE (program.getTempFolder().exists());
    EXPECT_TRUE (settingsFile.loadFileAsString().contains ("Aurel Reverb"));
}

#endif
