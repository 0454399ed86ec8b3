#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

namespace
{
juce::File getSettingsFolder()
{
    return TestSupport::getTestHome().getChildFile (".config/Tavoline Audio");
}

// Writes a properties file the way the framework stores one, then opens a fresh store on it.
std::unique_ptr<juce::ApplicationProperties> openStoreWith (const juce::String& key, const juce::String* value)
{
    juce::XmlElement root ("PROPERTIES");

    if (value != nullptr)
    {
        auto* entry = root.createNewChildElement ("VALUE");
        entry->setAttribute ("name", key);
        entry->setAttribute ("val", *value);
    }

    auto file = getSettingsFolder().getChildFile ("Velmora.settings");
    file.getParentDirectory().createDirectory();
    root.writeTo (file);

    auto store = std::make_unique<juce::ApplicationProperties>();
    store->setStorageParameters (VelmoraApplication::makeStoreOptions ("Velmora"));
    return store;
}

int getMode (const juce::File& file)
{
    struct stat info
    {
    };
    ::stat (file.getFullPathName().toRawUTF8(), &info);
    return (int) (info.st_mode & 0777);
}
} // namespace

TEST (SettingsStores, FilesLiveInTheMakersConfigFolder)
{
    auto* settings = VelmoraApplication::getSettings();
    auto* loginSettings = VelmoraApplication::getLoginSettings();
    ASSERT_NE (settings, nullptr);
    ASSERT_NE (loginSettings, nullptr);

    auto folder = getSettingsFolder();
    EXPECT_EQ (settings->getUserSettings()->getFile(), folder.getChildFile ("Velmora.settings"));
    EXPECT_EQ (loginSettings->getUserSettings()->getFile(), folder.getChildFile ("Vorore Zozavad.settings"));
    EXPECT_EQ (VelmoraApplication::getImagesFolder(), folder.getChildFile ("Velmora Images"));
    EXPECT_FALSE (VelmoraApplication::getImagesFolder().exists());
}

TEST (SettingsStores, InstallerAutoLaunchIsReadByItsLeadingNumber)
{
    struct Case
    {
        const char* stored;
        bool expected;
    };

    const Case cases[] = { { "0", false }, { "1", true }, { "7", true }, { "abc", false }, { nullptr, true } };

    for (auto& c : cases)
    {
        juce::String text (c.stored);
        auto store = openStoreWith ("installerAutoLaunch", c.stored != nullptr ? &text : nullptr);
        EXPECT_EQ (store->getUserSettings()->getBoolValue ("installerAutoLaunch", true), c.expected)
            << (c.stored != nullptr ? c.stored : "absent");
    }
}

TEST (SettingsStores, KeysAreCaseSensitiveAndAbsentKeysGiveTheReadersDefault)
{
    juce::String text ("/somewhere");
    auto store = openStoreWith ("VST3PATH", &text);
    auto* user = store->getUserSettings();

    EXPECT_EQ (user->getValue ("vst3Path", "C:/Program Files/Common Files/VST3"), "C:/Program Files/Common Files/VST3");
    EXPECT_EQ (user->getIntValue ("productUpdateCount", -1), -1);
}

TEST (SettingsStores, AValueOnlyInTheAllUsersFileIsReadFromThere)
{
    // The all-users file lies outside the test's home, so the test never writes it: it
    // puts the value into the store's copy of that file, in memory only.
    auto options = VelmoraApplication::makeStoreOptions ("Velmora");
    options.commonToAllUsers = true;

    auto* store = VelmoraApplication::getSettings();
    auto* user = store->getUserSettings();
    auto* common = store->getCommonSettings (false);
    ASSERT_NE (common, nullptr);
    ASSERT_NE (common, user);
    EXPECT_EQ (common->getFile(), options.getDefaultFile());
    EXPECT_NE (common->getFile(), user->getFile());
    ASSERT_EQ (user->getFallbackPropertySet(), common);

    const juce::String defaultPath ("C:/Program Files/Tavoline Audio");
    common->getAllProperties().set ("exePath", "D:/Programs");

    EXPECT_EQ (user->getValue ("exePath", defaultPath), "D:/Programs");

    // The user's own value comes first, and is written to the user's file only.
    user->setValue ("exePath", "E:/Mine");
    EXPECT_EQ (user->getValue ("exePath", defaultPath), "E:/Mine");
    EXPECT_EQ (common->getValue ("exePath"), "D:/Programs");
    EXPECT_TRUE (user->saveIfNeeded());
    EXPECT_TRUE (user->getFile().loadFileAsString().contains ("E:/Mine"));

    EXPECT_FALSE (common->needsToBeSaved());
}

TEST (SettingsStores, TheSettingsFolderIsPrivateToItsOwner)
{
    auto folder = getSettingsFolder();
    EXPECT_EQ (getMode (folder), 0700);

    // A folder an earlier version left open is closed at the next start.
    ::chmod (folder.getFullPathName().toRawUTF8(), 0755);
    VelmoraApplication::getApp()->openStoresAndFolders();
    EXPECT_EQ (getMode (folder), 0700);

    VelmoraApplication::getLoginSettings()->getUserSettings()->setValue (loginPassword, "secret");
    VelmoraApplication::getLoginSettings()->saveIfNeeded();
    EXPECT_TRUE (folder.getChildFile ("Vorore Zozavad.settings").existsAsFile());
    EXPECT_EQ (getMode (folder), 0700);
}
