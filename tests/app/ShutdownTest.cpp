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
