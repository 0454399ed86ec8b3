#include "ui/AppToolbar.h"
#include "app/VelmoraApplication.h"
#include "platform/PlatformLayer.h"
#include "support/TestSupport.h"
#include "ui/CheckAutoInstallerLaunch.h"

namespace
{
juce::PropertiesFile& productSettings()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

// Stores the text as "installerAutoLaunch", or removes the key when it is null.
void storeAutoLaunch (const char* stored)
{
    if (stored == nullptr)
        productSettings().removeValue ("installerAutoLaunch");
    else
        productSettings().setValue ("installerAutoLaunch", juce::String (stored));
}

juce::PropertiesFile& loginStore()
{
    return *VelmoraApplication::getLoginSettings()->getUserSettings();
}

void clearSettings()
{
    productSettings().clear();
    loginStore().clear();
}

struct ToolbarChildren
{
    juce::Component* button;
    juce::Label* label;
    juce::Component* logo;
};

// The children in the order the toolbar adds them: button, label, logo.
ToolbarChildren getChildren (AppToolbar& toolbar)
{
    EXPECT_EQ (toolbar.getNumChildComponents(), 3);
    ToolbarChildren children { dynamic_cast<juce::DrawableButton*> (toolbar.getChildComponent (0)),
                               dynamic_cast<juce::Label*> (toolbar.getChildComponent (1)),
                               dynamic_cast<LogoImage*> (toolbar.getChildComponent (2)) };
    EXPECT_NE (children.button, nullptr);
    EXPECT_NE (children.label, nullptr);
    EXPECT_NE (children.logo, nullptr);
    return children;
}

bool isWhitish (juce::Colour colour)
{
    return colour.getBrightness() > 0.9f && colour.getAlpha() == 0xff;
}

int countWhitePixels (const juce::Image& image, juce::Rectangle<int> area)
{
    int count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (isWhitish (image.getPixelAt (x, y)))
                ++count;

    return count;
}

CheckAutoInstallerLaunch* findAutoLaunchItem (const juce::PopupMenu& menu)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (auto* item = dynamic_cast<CheckAutoInstallerLaunch*> (it.getItem().customComponent.get()))
            return item;

    return nullptr;
}

const juce::PopupMenu::Item* findItem (const juce::PopupMenu& menu, const juce::String& text)
{
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().text == text)
            return &it.getItem();

    return nullptr;
}

template <typename ComponentType>
std::vector<ComponentType*> findOnDesktop()
{
    std::vector<ComponentType*> found;
    auto& desktop = juce::Desktop::getInstance();

    std::function<void (juce::Component&)> search = [&] (juce::Component& component)
    {
        if (auto* match = dynamic_cast<ComponentType*> (&component))
            found.push_back (match);

        for (auto* child : component.getChildren())
            search (*child);
    };

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        search (*desktop.getComponent (i));

    return found;
}

juce::TextButton* findTextButton (juce::Component& parent, const juce::String& text)
{
    if (auto* button = dynamic_cast<juce::TextButton*> (&parent); button != nullptr && button->getButtonText() == text)
        return button;

    for (auto* child : parent.getChildren())
        if (auto* button = findTextButton (*child, text))
            return button;

    return nullptr;
}

struct ChangeCounter : public juce::ChangeListener
{
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

class AppToolbarTest : public ::testing::Test
{
protected:
    void SetUp() override { clearSettings(); }

    void TearDown() override
    {
        juce::PopupMenu::dismissAllActiveMenus();
        TestSupport::pumpFor (50);
        clearSettings();
    }
};
} // namespace

TEST_F (AppToolbarTest, LayoutFollowsWidthAndHeight)
{
    struct Case
    {
        int width, height;
        juce::Rectangle<int> button, label, logo;
    };

    const std::vector<Case> cases {
        { 1200, 50, { 8, 8, 34, 34 }, { 42, 0, 200, 50 }, { 1042, 0, 150, 50 } },
        { 800, 50, { 8, 8, 34, 34 }, { 42, 0, 200, 50 }, { 642, 0, 150, 50 } },
        { 1200, 16, { 8, 8, 0, 0 }, { 8, 0, 200, 16 }, { 1042, 0, 150, 16 } },
        { 800, 10, { 8, 8, 0, 0 }, { 8, 0, 200, 10 }, { 642, 0, 150, 10 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height));
        AppToolbar toolbar;
        toolbar.setBounds (0, 0, c.width, c.height);
        auto children = getChildren (toolbar);

        EXPECT_EQ (children.button->getBounds(), c.button);
        EXPECT_EQ (children.label->getBounds(), c.label);
        EXPECT_EQ (children.logo->getBounds(), c.logo);
        EXPECT_EQ (children.label->getJustificationType(), juce::Justification::centredLeft);
    }
}

TEST_F (AppToolbarTest, PaintsBlackBarWithWhiteGearInsideTheButton)
{
    for (int width : { 1200, 800 })
    {
        SCOPED_TRACE (width);
        AppToolbar toolbar;
        toolbar.setBounds (0, 0, width, 50);
        auto image = TestSupport::paintToImage (toolbar);

        // The bar between the label and the logo, and the margins around the button.
        for (auto area : { juce::Rectangle<int> (242, 0, width - 158 - 242, 50),
                           juce::Rectangle<int> (0, 0, 8, 50),
                           juce::Rectangle<int> (0, 0, 42, 8),
                           juce::Rectangle<int> (0, 42, 42, 8) })
        {
            for (int y = area.getY(); y < area.getBottom(); y += 3)
                for (int x = area.getX(); x < area.getRight(); x += 3)
                    ASSERT_EQ (image.getPixelAt (x, y), juce::Colour (0xff000000)) << "at " << x << ", " << y;
        }

        // The gear is white and lies inside the button's square; the button's own
        // background and outline stay black.
        auto gearArea = juce::Rectangle<int> (8, 8, 34, 34);
        EXPECT_GT (countWhitePixels (image, gearArea), 50);
        EXPECT_EQ (countWhitePixels (image, { 0, 0, 42, 50 }), countWhitePixels (image, gearArea));
        EXPECT_EQ (image.getPixelAt (8, 8), juce::Colour (0xff000000));
        EXPECT_EQ (image.getPixelAt (41, 41), juce::Colour (0xff000000));
    }
}

TEST_F (AppToolbarTest, LowBarHasNoGear)
{
    AppToolbar toolbar;
    toolbar.setBounds (0, 0, 800, 16);
    auto image = TestSupport::paintToImage (toolbar);

    EXPECT_EQ (countWhitePixels (image, { 0, 0, 400, 16 }), 0);
    EXPECT_EQ (image.getPixelAt (4, 4), juce::Colour (0xff000000));
}

TEST_F (AppToolbarTest, SettingsMenuHasItsNineEntriesInOrder)
{
    enum class Kind
    {
        item,
        separator,
        custom,
        header
    };

    struct Expected
    {
        Kind kind;
        juce::String text;
    };

    const std::vector<Expected> expected {
        { Kind::item, "VST3 Installation Folder" },
        { Kind::item, "App Installation Folder" },
        { Kind::separator, {} },
        { Kind::custom, {} },
        { Kind::separator, {} },
        { Kind::header, "Version 1.0.10" },
        { Kind::item, "Velmora Download Page" },
        { Kind::separator, {} },
        { Kind::item, "Log Out" },
    };

    AppToolbar toolbar;
    auto menu = toolbar.createSettingsMenu();

    size_t index = 0;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next(); ++index)
    {
        SCOPED_TRACE (index);
        ASSERT_LT (index, expected.size());
        const auto& item = it.getItem();
        const auto& want = expected[index];

        EXPECT_EQ (item.isSeparator, want.kind == Kind::separator);
        EXPECT_EQ (item.isSectionHeader, want.kind == Kind::header);
        EXPECT_EQ (item.customComponent != nullptr, want.kind == Kind::custom);
        EXPECT_EQ (item.text, want.text);
        EXPECT_EQ (item.subMenu, nullptr);

        if (want.kind == Kind::item)
        {
            EXPECT_TRUE (item.isEnabled);
            EXPECT_FALSE (item.isTicked);
            EXPECT_TRUE (item.action != nullptr);
        }

        if (want.kind == Kind::custom)
        {
            EXPECT_EQ (item.itemID, -1);
            auto* custom = dynamic_cast<CheckAutoInstallerLaunch*> (item.customComponent.get());
            ASSERT_NE (custom, nullptr);
            EXPECT_FALSE (custom->isTriggeredAutomatically());

            int width = 0, height = 0;
            custom->getIdealSize (width, height);
            EXPECT_EQ (width, 100);
            EXPECT_EQ (height, 20);
        }
    }

    EXPECT_EQ (index, expected.size());
    EXPECT_EQ (juce::String ("Version ") + VelmoraApplication::getApp()->getApplicationVersion(), "Version 1.0.10");
}

TEST_F (AppToolbarTest, AutoLaunchToggleReadsTheSettingWithoutWriting)
{
    struct Case
    {
        const char* stored; // nullptr: the key is missing
        bool expectedOn;
    };

    const std::vector<Case> cases {
        { nullptr, true },
        { "1", true },
        { "0", false },
        { "abc", false },
        { "7", true },
        { "", false },
    };

    AppToolbar toolbar;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stored == nullptr ? "missing" : c.stored);

        storeAutoLaunch (c.stored);

        auto menu = toolbar.createSettingsMenu();
        auto* item = findAutoLaunchItem (menu);
        ASSERT_NE (item, nullptr);

        EXPECT_EQ (item->toggle.getButtonText(), "Installer Auto Launch");
        EXPECT_EQ (item->toggle.getToggleState(), c.expectedOn);
        EXPECT_EQ (productSettings().containsKey ("installerAutoLaunch"), c.stored != nullptr);

        EXPECT_EQ (productSettings().getValue ("installerAutoLaunch", "missing"), c.stored == nullptr ? "missing" : c.stored);
    }
}

TEST_F (AppToolbarTest, EveryToggleClickWritesTheNewState)
{
    struct Case
    {
        const char* stored;
        std::vector<juce::String> afterEachClick;
    };

    const std::vector<Case> cases {
        { nullptr, { "0", "1", "0" } },
        { "1", { "0", "1" } },
        { "abc", { "1", "0" } },
        { "7", { "0", "1" } },
    };

    AppToolbar toolbar;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stored == nullptr ? "missing" : c.stored);

        storeAutoLaunch (c.stored);

        auto menu = toolbar.createSettingsMenu();
        auto* item = findAutoLaunchItem (menu);
        ASSERT_NE (item, nullptr);
        item->setBounds (0, 0, 100, 20);
        EXPECT_EQ (item->toggle.getBounds(), juce::Rectangle<int> (0, 0, 100, 20));

        for (const auto& expected : c.afterEachClick)
        {
            item->toggle.triggerClick();
            ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                                 { return productSettings().getValue ("installerAutoLaunch") == expected; },
                                                 2000));
            EXPECT_EQ (item->toggle.getToggleState(), expected == "1");
        }
    }
}

TEST_F (AppToolbarTest, ShownMenuStaysOpenWhileTheToggleIsClicked)
{
    AppToolbar toolbar;
    toolbar.setBounds (0, 0, 1200, 50);
    toolbar.addToDesktop (0);
    toolbar.setVisible (true);
    auto* button = dynamic_cast<juce::Button*> (getChildren (toolbar).button);

    using SafeItem = juce::Component::SafePointer<CheckAutoInstallerLaunch>;

    auto showMenu = [&]
    {
        // An open menu closes when none of the program's windows has the focus.
        toolbar.toFront (true);
        TestSupport::pumpUntil ([&]
                                { return toolbar.getPeer()->isFocused(); },
                                2000);
        button->triggerClick();
        TestSupport::pumpUntil ([]
                                { return ! findOnDesktop<CheckAutoInstallerLaunch>().empty(); },
                                5000);
        auto items = findOnDesktop<CheckAutoInstallerLaunch>();
        return items.size() == 1 ? SafeItem (items.front()) : SafeItem();
    };

    // Other test processes share the X server and may take the focus away, which
    // closes the menu; such a run is tried again.
    bool checked = false;

    for (int attempt = 0; attempt < 3 && ! checked; ++attempt)
    {
        juce::PopupMenu::dismissAllActiveMenus();
        TestSupport::pumpUntil ([]
                                { return findOnDesktop<CheckAutoInstallerLaunch>().empty(); },
                                2000);
        productSettings().setValue ("installerAutoLaunch", "1");

        auto item = showMenu();
        ASSERT_NE (item, nullptr);
        EXPECT_TRUE (item->toggle.getToggleState());

        for (auto expected : { "0", "1" })
        {
            if (item == nullptr)
                break;

            item->toggle.triggerClick();
            TestSupport::pumpUntil ([&]
                                    { return productSettings().getValue ("installerAutoLaunch") == expected; },
                                    2000);
        }

        TestSupport::pumpFor (100);

        if (item == nullptr && ! toolbar.getPeer()->isFocused())
            continue;

        ASSERT_NE (item, nullptr) << "the menu closed";
        EXPECT_EQ (productSettings().getValue ("installerAutoLaunch"), "1");
        EXPECT_EQ (findOnDesktop<CheckAutoInstallerLaunch>().size(), 1u);
        checked = true;
    }

    ASSERT_TRUE (checked);

    // The next showing reads the setting again, with a fresh toggle.
    juce::PopupMenu::dismissAllActiveMenus();
    TestSupport::pumpUntil ([]
                            { return findOnDesktop<CheckAutoInstallerLaunch>().empty(); },
                            2000);
    productSettings().setValue ("installerAutoLaunch", "0");
    auto item = showMenu();
    ASSERT_NE (item, nullptr);
    EXPECT_FALSE (item->toggle.getToggleState());
}

TEST_F (AppToolbarTest, ChosenFolderIsStoredUnderItsOwnKeyOnly)
{
    struct Case
    {
        void (AppToolbar::*completion) (const juce::URL&);
        juce::String key;
        juce::String otherKey;
    };

    const std::vector<Case> cases {
        { &AppToolbar::vst3FolderChosen, "vst3Path", "exePath" },
        { &AppToolbar::appFolderChosen, "exePath", "vst3Path" },
    };

    AppToolbar toolbar;
    auto folder = TestSupport::makeTempFolder ("chosen");

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.key);
        clearSettings();
        loginStore().setValue (loginMail, "someone@tavoline-audio.test");

        // Cancelled: nothing is written, a missing key stays missing.
        (toolbar.*c.completion) (juce::URL());
        EXPECT_FALSE (productSettings().containsKey (c.key));

        (toolbar.*c.completion) (juce::URL (folder));
        EXPECT_EQ (productSettings().getValue (c.key), folder.getFullPathName());

        // Cancelled later: the stored folder stays.
        (toolbar.*c.completion) (juce::URL());
        EXPECT_EQ (productSettings().getValue (c.key), folder.getFullPathName());

        EXPECT_FALSE (productSettings().containsKey (c.otherKey));
        EXPECT_EQ (productSettings().getAllProperties().size(), 1);
        EXPECT_EQ (loginStore().getAllProperties().size(), 1);
    }
}

TEST_F (AppToolbarTest, FolderChooserStartsAtTheStoredFolderAndStoresTheChoice)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "a native folder dialog is installed; these checks drive the framework's own dialog";

    struct Case
    {
        void (AppToolbar::*launch)();
        juce::String title;
        juce::String key;
        juce::String defaultFolder;
    };

    const std::vector<Case> cases {
        { &AppToolbar::chooseVst3Folder, "VST3 Installation Folder", "vst3Path", "C:/Program Files/Common Files/VST3" },
        { &AppToolbar::chooseAppFolder, "App Installation Folder", "exePath", "C:/Program Files/Tavoline Audio" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.key);
        clearSettings();
        AppToolbar toolbar;

        // Missing key: the default Windows folder, through the platform layer.
        auto defaultFolder = PlatformLayer::fileFromPath (c.defaultFolder);
        ASSERT_TRUE (defaultFolder.createDirectory());

        (toolbar.*c.launch)();
        auto dialogs = findOnDesktop<juce::FileChooserDialogBox>();
        ASSERT_EQ (dialogs.size(), 1u);
        EXPECT_EQ (dialogs[0]->getName(), c.title);
        auto browsers = findOnDesktop<juce::FileBrowserComponent>();
        ASSERT_EQ (browsers.size(), 1u);
        EXPECT_EQ (browsers[0]->getRoot(), defaultFolder);
        EXPECT_FALSE (browsers[0]->isSaveMode());

        // Cancel stores nothing.
        auto* cancel = findTextButton (*dialogs[0], "Cancel");
        ASSERT_NE (cancel, nullptr);
        cancel->triggerClick();
        ASSERT_TRUE (TestSupport::pumpUntil ([]
                                             { return findOnDesktop<juce::FileChooserDialogBox>().empty(); },
                                             5000));
        TestSupport::pumpFor (50);
        EXPECT_FALSE (productSettings().containsKey (c.key));

        // A stored drive-letter folder opens where the platform layer puts it;
        // choosing it stores the folder's full path.
        auto storedText = c.defaultFolder + "/Chosen";
        auto stored = PlatformLayer::fileFromPath (storedText);
        ASSERT_TRUE (stored.createDirectory());
        productSettings().setValue (c.key, storedText);

        (toolbar.*c.launch)();
        browsers = findOnDesktop<juce::FileBrowserComponent>();
        ASSERT_EQ (browsers.size(), 1u);
        EXPECT_EQ (browsers[0]->getRoot(), stored);

        dialogs = findOnDesktop<juce::FileChooserDialogBox>();
        ASSERT_EQ (dialogs.size(), 1u);
        auto* open = findTextButton (*dialogs[0], "Open");
        ASSERT_NE (open, nullptr);
        open->triggerClick();
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return productSettings().getValue (c.key) == stored.getFullPathName(); },
                                             5000));
        EXPECT_EQ (productSettings().getAllProperties().size(), 1);
    }
}

TEST_F (AppToolbarTest, SecondFolderChooserDestroysTheFirst)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "a native folder dialog is installed; these checks drive the framework's own dialog";

    AppToolbar toolbar;
    toolbar.chooseVst3Folder();
    auto dialogs = findOnDesktop<juce::FileChooserDialogBox>();
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0]->getName(), "VST3 Installation Folder");

    toolbar.chooseAppFolder();
    dialogs = findOnDesktop<juce::FileChooserDialogBox>();
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0]->getName(), "App Installation Folder");

    toolbar.chooseVst3Folder();
    TestSupport::pumpFor (50);
    dialogs = findOnDesktop<juce::FileChooserDialogBox>();
    ASSERT_EQ (dialogs.size(), 1u);
    EXPECT_EQ (dialogs[0]->getName(), "VST3 Installation Folder");
    EXPECT_EQ (productSettings().getAllProperties().size(), 0);
}

TEST_F (AppToolbarTest, LogOutSendsOneChangeMessageAndChangesNothing)
{
    productSettings().setValue ("vst3Path", "C:/Plugins");
    productSettings().setValue ("installerAutoLaunch", "0");
    loginStore().setValue (loginMail, "someone@tavoline-audio.test");
    loginStore().setValue (loginPassword, "secret");

    AppToolbar toolbar;
    ChangeCounter counter;
    toolbar.addChangeListener (&counter);

    auto productBefore = productSettings().getAllProperties();
    auto loginBefore = loginStore().getAllProperties();

    auto menu = toolbar.createSettingsMenu();
    auto* logOut = findItem (menu, "Log Out");
    ASSERT_NE (logOut, nullptr);
    logOut->action();

    EXPECT_EQ (counter.count, 0); // delivered asynchronously
    TestSupport::pumpFor (200);
    EXPECT_EQ (counter.count, 1);

    EXPECT_EQ (productSettings().getAllProperties(), productBefore);
    EXPECT_EQ (loginStore().getAllProperties(), loginBefore);
    EXPECT_EQ (getChildren (toolbar).label->getText(), "someone@tavoline-audio.test");

    // Building, and dropping, another menu sends nothing.
    toolbar.createSettingsMenu();
    TestSupport::pumpFor (100);
    EXPECT_EQ (counter.count, 1);
    toolbar.removeChangeListener (&counter);
}

TEST_F (AppToolbarTest, MailLabelShowsTheStoredAddress)
{
    struct Case
    {
        const char* stored; // nullptr: the key is missing
        juce::String shown;
    };

    const std::vector<Case> cases {
        { nullptr, {} },
        { "someone@tavoline-audio.test", "someone@tavoline-audio.test" },
        { "  spaced@tavoline-audio.test ", "  spaced@tavoline-audio.test " },
        { "", {} },
    };

    AppToolbar toolbar;
    auto* label = getChildren (toolbar).label;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.stored == nullptr ? "missing" : c.stored);

        if (c.stored == nullptr)
            loginStore().removeValue (loginMail);
        else
            loginStore().setValue (loginMail, juce::String (c.stored));

        toolbar.updateMailLabel();
        EXPECT_EQ (label->getText(), c.shown);
    }

    // The constructor shows what is stored at that moment.
    loginStore().setValue (loginMail, "first@tavoline-audio.test");
    AppToolbar another;
    EXPECT_EQ (getChildren (another).label->getText(), "first@tavoline-audio.test");
}
