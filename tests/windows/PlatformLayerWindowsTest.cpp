#include "WindowsTestSupport.h"
#include "app/VelmoraApplication.h"
#include "platform/PlatformLayer.h"

// The Windows half of the platform layer, against what Windows itself says.
class PlatformLayerWindowsTest : public juce::UnitTest
{
public:
    PlatformLayerWindowsTest()
        : juce::UnitTest ("Platform layer", "Velmora on Windows")
    {
    }

    void runTest() override
    {
        beginTest ("Folders are the system's");

        expectEquals (PlatformLayer::getSystemTempFolder().getFullPathName(),
                      WindowsTestSupport::windowsFolder ("TEMP").getFullPathName());
        expectEquals (PlatformLayer::getProgramFilesFolder().getFullPathName(),
                      WindowsTestSupport::windowsFolder ("ProgramFiles").getFullPathName());
        expectEquals (PlatformLayer::getDesktopFolder().getFullPathName(),
                      WindowsTestSupport::windowsFolder ("USERPROFILE").getChildFile ("Desktop").getFullPathName());

        beginTest ("The settings files live in %APPDATA%\\Tavoline Audio");

        auto settingsFolder = WindowsTestSupport::windowsFolder ("APPDATA").getChildFile ("Tavoline Audio");

        for (auto* storeName : { "Velmora", "Vorore Zozavad" })
            expectEquals (VelmoraApplication::makeStoreOptions (storeName).getDefaultFile().getFullPathName(),
                          settingsFolder.getChildFile (juce::String (storeName) + ".settings").getFullPathName());

        beginTest ("Settings paths are used as they stand");

        struct PathCase
        {
            const char* text;
            const char* expected;
        };

        const PathCase paths[] = {
            { "C:/Program Files/Common Files/VST3", "C:\\Program Files\\Common Files\\VST3" },
            { "C:/Program Files/Tavoline Audio", "C:\\Program Files\\Tavoline Audio" },
            { "D:\\Plug-Ins\\VST3", "D:\\Plug-Ins\\VST3" },
        };

        for (auto& p : paths)
            expectEquals (PlatformLayer::fileFromPath (p.text).getFullPathName(), juce::String (p.expected), p.text);

        beginTest ("The download folder is made in the temporary folder, beside a file of its name");

        auto folderName = "Velmora Test " + juce::String::toHexString (juce::Random::getSystemRandom().nextInt());
        auto expected = PlatformLayer::getSystemTempFolder().getChildFile (folderName);

        auto folder = PlatformLayer::createTempFolder (folderName);
        expectEquals (folder.getFullPathName(), expected.getFullPathName());
        expect (folder.isDirectory());
        expectEquals (PlatformLayer::createTempFolder (folderName).getFullPathName(), expected.getFullPathName(), "an earlier run's folder is used again");
        folder.deleteRecursively();

        expect (expected.replaceWithText ("not a folder"));
        auto beside = PlatformLayer::createTempFolder (folderName);
        expect (beside.isDirectory(), beside.getFullPathName());
        expect (beside != expected);
        expectEquals (beside.getParentDirectory().getFullPathName(), expected.getParentDirectory().getFullPathName());
        expectEquals (expected.loadFileAsString(), juce::String ("not a folder"));
        beside.deleteRecursively();
        expected.deleteFile();

        beginTest ("An installer starts through the shell");

        auto installerFolder = PlatformLayer::createTempFolder (folderName);
        auto marker = installerFolder.getChildFile ("started.txt");
        auto script = installerFolder.getChildFile ("Setup.cmd");
        script.replaceWithText ("@echo started> \"%~dp0started.txt\"\r\n");
        PlatformLayer::startThroughShell (script);
        expect (WindowsTestSupport::pumpUntil ([&]
                                               { return marker.existsAsFile(); },
                                               30000),
                "the installer did not run");
        installerFolder.deleteRecursively();
    }
};

static PlatformLayerWindowsTest platformLayerWindowsTest;
