#include "app/VelmoraApplication.h"
#include "platform/PlatformLayer.h"
#include "support/TestSupport.h"
#include "ui/ButtonsCell.h"
#include "ui/MainComponent.h"
#include "ui/Status.h"

namespace
{
juce::File vst3Folder()
{
    return PlatformLayer::fileFromPath ("C:/Program Files/Common Files/VST3");
}

// Puts a PE file with the given version (or none) at the plug-in's VST3 place.
void install (const juce::String& name, const juce::String& fixtureVersion)
{
    auto fixtures = juce::File (VELMORA_PE_FIXTURE_DIR);
    auto source = fixtureVersion.isEmpty() ? fixtures.getChildFile ("no-version.dll")
                                           : fixtures.getChildFile ("version-" + fixtureVersion + ".dll");
    auto target = vst3Folder().getChildFile (name + ".vst3");
    ASSERT_TRUE (vst3Folder().createDirectory().wasOk());
    target.deleteFile();
    ASSERT_TRUE (source.copyFileTo (target)) << target.getFullPathName();
}

void uninstall (const juce::String& name)
{
    vst3Folder().getChildFile (name + ".vst3").deleteFile();
}

juce::PropertiesFile& loginStore()
{
    return *VelmoraApplication::getLoginSettings()->getUserSettings();
}

// A main component whose start-up has ended, with a plug-in and a bundle listed,
// sorted by name, and its timer stopped so that each tick is the test's own.
class MainComponentPoll : public ::testing::Test
{
protected:
    void SetUp() override
    {
        vst3Folder().deleteRecursively();
        loginStore().setValue (loginMail, "first@tavoline-audio.test");
        loginStore().setValue (loginPassword, "secret");
        VelmoraApplication::getSettings()->getUserSettings()->setValue (
            "xmlAppProducts",
            "<INSTALLATION_MANAGER>"
            "<PLUGIN name=\"Synth\" nameView=\"Synth\" version=\"1.0.10\"/>"
            "<BUNDLE name=\"Pack\" nameView=\"Pack\" version=\"1.0.10\"><PLUGIN name=\"Member\" nameView=\"Member\" version=\"1.0.10\"/></BUNDLE>"
            "</INSTALLATION_MANAGER>");

        main = std::make_unique<MainComponent>();
        main->setSize (1198, 600);

        // Nothing serves the built-in addresses: the catalogue worker reports and the
        // table is built from the stored catalogue.
        ASSERT_TRUE (TestSupport::pumpUntil ([this]
                                             { return ! main->resources.isVisible(); },
                                             30000));
        ASSERT_TRUE (TestSupport::pumpUntil ([this]
                                             { return main->listedProducts.size() == 2 && main->listedProducts[0]->name == "Pack"; }));
        closeModals();
        main->stopTimer();
    }

    void TearDown() override
    {
        closeModals();
        main = nullptr;
        vst3Folder().deleteRecursively();
    }

    static void closeModals()
    {
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        TestSupport::pumpFor (50);
    }

    ProductBase& listed (const juce::String& name)
    {
        for (auto* product : main->listedProducts)
            if (product->name == name)
                return *product;

        ADD_FAILURE() << name << " is not listed";
        return *main->listedProducts.getFirst();
    }

    // What the Status cell of the product's row in this table shows now.
    static juce::String shownStatus (ListProductView& view, const juce::String& name)
    {
        for (int row = 0; row < view.products->size(); ++row)
            if (view.products->getUnchecked (row)->name == name)
                if (auto* status = dynamic_cast<Status*> (view.table.getCellComponent (ListProductView::statusColumn, row)))
                    return status->label.getText();

        return "no status cell for " + name;
    }

    juce::String shownStatus (const juce::String& name) { return shownStatus (main->productList, name); }

    std::unique_ptr<MainComponent> main;
};
} // namespace

TEST_F (MainComponentPoll, OneTickShowsAnInstallAnUpgradeAndARemoval)
{
    struct Step
    {
        const char* what;
        std::function<void()> change;
        const char* status;
        const char* installedVersion;
    };

    // 2.3.0 counts older than 1.0.10.
    const std::vector<Step> steps {
        { "nothing there", [] {}, "Not installed", "1.0.10" },
        { "installed, older", []
          { install ("Synth", "2.3.0.7"); },
          "Update available",
          "2.3.0" },
        { "upgraded: only the installed version changes", []
          { install ("Synth", "1.0.10.0"); },
          "Latest version",
          "1.0.10" },
        { "uninstalled", []
          { uninstall ("Synth"); },
          "Not installed",
          "1.0.10" },
    };

    EXPECT_EQ (shownStatus ("Synth"), "Not installed");

    for (auto& step : steps)
    {
        SCOPED_TRACE (step.what);
        step.change();
        main->timerCallback();

        EXPECT_EQ (listed ("Synth").installedVersion, step.installedVersion);
        EXPECT_EQ (shownStatus ("Synth"), step.status);
    }
}

TEST_F (MainComponentPoll, ATickRefreshesTheOpenBundleView)
{
    auto& pack = listed ("Pack");
    auto row = main->listedProducts.indexOf (&pack);
    auto* cell = dynamic_cast<ButtonsCell*> (main->productList.table.getCellComponent (ListProductView::buttonsColumn, row));
    ASSERT_NE (cell, nullptr);
    cell->bundleButton.triggerClick();
    ASSERT_TRUE (TestSupport::pumpUntil ([this]
                                         { return main->productList.bundleView != nullptr; }));

    auto& bundleView = *main->productList.bundleView;
    EXPECT_EQ (shownStatus (bundleView, "Member"), "Not installed");
    EXPECT_EQ (shownStatus ("Pack"), "Not installed");

    // The member has no row of its own: only the bundle's poll sees it.
    install ("Member", "1.0.10.0");
    main->timerCallback();

    EXPECT_EQ (shownStatus (bundleView, "Member"), "Latest version");
    EXPECT_EQ (shownStatus ("Pack"), "Latest version");
}

TEST_F (MainComponentPoll, SignInShowsTheAddressAndLogOutKeepsEverything)
{
    auto& synth = listed ("Synth");

    struct Case
    {
        const char* what;
        std::function<void()> send;
        bool overlayAfter;
        const char* statusAfter;
    };

    // Each message refreshes the table: the product changes behind its back first.
    const std::vector<Case> cases {
        { "signed in", [this]
          {
              loginStore().setValue (loginMail, "signed@tavoline-audio.test");
              main->loginDialog.setVisible (false);
              main->loginDialog.sendChangeMessage();
          },
          false,
          "Latest version" },
        { "logged out", [this]
          { main->toolbar.requestLogOut(); },
          true,
          "Not installed" },
    };

    auto* mailLabel = dynamic_cast<juce::Label*> (main->toolbar.getChildComponent (1));
    ASSERT_NE (mailLabel, nullptr);
    EXPECT_EQ (mailLabel->getText(), "first@tavoline-audio.test");
    auto typedMail = main->loginDialog.mailEditor.getText();

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);

        if (synth.installed)
            uninstall ("Synth");
        else
            install ("Synth", "1.0.10.0");

        ASSERT_TRUE (synth.checkInstalled());

        c.send();
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return shownStatus ("Synth") == c.statusAfter; }));

        EXPECT_EQ (main->loginDialog.isVisible(), c.overlayAfter);
        EXPECT_EQ (mailLabel->getText(), "signed@tavoline-audio.test");

        // Nothing else is reset.
        EXPECT_EQ (loginStore().getValue (loginMail), "signed@tavoline-audio.test");
        EXPECT_EQ (loginStore().getValue (loginPassword), "secret");
        EXPECT_EQ (main->loginDialog.mailEditor.getText(), typedMail);
        EXPECT_EQ (main->listedProducts.size(), 2);
        EXPECT_EQ (main->productList.table.getNumRows(), 2);
    }
}
