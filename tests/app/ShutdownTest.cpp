#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

TEST (Shutdown, DeletesTheTemporaryFolderAndWritesPendingSettings)
{
    auto* app = VelmoraApplication::getApp();
    auto temp = VelmoraApplication::getTempFolder();

    EXPECT_EQ (temp.getFullPathName(), TestSupport::getTestHome().getChildFile (".cache/Tavoline Audio Velmora").getFullPathName());
    ASSERT_TRUE (temp.isDirectory());
    temp.getChildFile ("Setup/installer.exe").create();

    auto settingsFile = VelmoraApplication::getSettings()->getUserSettings()->getFile();
    auto loginFile = VelmoraApplication::getLoginSettings()->getUserSettings()->getFile();

    // Changed well inside the 3000 ms save delay.
    VelmoraApplication::getSettings()->getUserSettings()->setValue ("vst3Path", "/opt/vst3");
    VelmoraApplication::getLoginSettings()->getUserSettings()->setValue (loginMail, "user@example.com");
    EXPECT_FALSE (settingsFile.existsAsFile());

    app->shutdown();

    EXPECT_FALSE (temp.exists());
    EXPECT_EQ (VelmoraApplication::getSettings(), nullptr);
    EXPECT_EQ (VelmoraApplication::getLoginSettings(), nullptr);

    auto settingsXml = juce::parseXML (settingsFile);
    ASSERT_NE (settingsXml, nullptr);
    EXPECT_TRUE (settingsFile.loadFileAsString().contains ("/opt/vst3"));
    EXPECT_TRUE (loginFile.loadFileAsString().contains ("user@example.com"));
}

TEST (Shutdown, AFolderLeftByAnEarlierRunIsReused)
{
    auto temp = VelmoraApplication::getTempFolder();
    auto leftOver = temp.getChildFile ("old.txt");
    leftOver.replaceWithText ("left over");

    VelmoraApplication::getApp()->openStoresAndFolders();

    EXPECT_TRUE (leftOver.existsAsFile());
}

TEST (Shutdown, AChangeIsWrittenAfterItsSaveDelayWithoutAQuit)
{
    struct Case
    {
        const char* name;
        juce::ApplicationProperties* store;
        juce::String key, value;
    };

    const Case cases[] = {
        { "settings", VelmoraApplication::getSettings(), "vst3Path", "/opt/delayed" },
        { "sign-in", VelmoraApplication::getLoginSettings(), loginMail, "delayed@example.org" },
    };

    for (auto& c : cases)
    {
        auto* user = c.store->getUserSettings();
        auto file = user->getFile();
        user->setValue (c.key, c.value);

        // Not at half of its 3000 ms (a slow machine can only make the wait longer) ...
        TestSupport::pumpFor (1500);
        EXPECT_FALSE (file.loadFileAsString().contains (c.value)) << c.name;

        // ... and then without anything else happening.
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return file.loadFileAsString().contains (c.value); },
                                             10000))
            << c.name;
    }
}
