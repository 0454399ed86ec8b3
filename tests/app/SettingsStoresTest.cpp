#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

TEST (SettingsStores, FilesLiveInTheMakersConfigFolder)
{
    auto* settings = VelmoraApplication::getSettings();
    auto* loginSettings = VelmoraApplication::getLoginSettings();
    ASSERT_NE (settings, nullptr);
    ASSERT_NE (loginSettings, nullptr);

    auto folder = TestSupport::getTestHome().getChildFile (".config/Tavoline Audio");
    EXPECT_EQ (settings->getUserSettings()->getFile(), folder.getChildFile ("Velmora.settings"));
    EXPECT_EQ (loginSettings->getUserSettings()->getFile(), folder.getChildFile ("Vorore Zozavad.settings"));
    EXPECT_EQ (VelmoraApplication::getImagesFolder(), folder.getChildFile ("Velmora Images"));
    EXPECT_FALSE (VelmoraApplication::getImagesFolder().exists());
}
