#include "ui/MainComponent.h"
#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

namespace
{
struct MainComponentFixture : public ::testing::Test
{
    void SetUp() override
    {
        main = std::make_unique<MainComponent>();
        main->setSize (1198, 600);

        // Nothing serves the built-in addresses here: the catalogue worker reports
        // "No Internet connection" and the start-up sign-in only probes.
        ASSERT_TRUE (TestSupport::pumpUntil ([this]
                                             { return ! main->resources.isVisible(); },
                                             30000));
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        TestSupport::pumpFor (50);
    }

    void TearDown() override
    {
        main = nullptr;
    }

    std::unique_ptr<MainComponent> main;
};

class OtherBroadcaster : public juce::ChangeBroadcaster
{
};
} // namespace

TEST_F (MainComponentFixture, LaysOutItsChildrenBottomToTop)
{
    EXPECT_EQ (main->getIndexOfChildComponent (&main->toolbar), 0);
    EXPECT_EQ (main->getIndexOfChildComponent (&main->productList), 1);
    EXPECT_EQ (main->getIndexOfChildComponent (&main->loginDialog), 2);
    EXPECT_EQ (main->getIndexOfChildComponent (&main->resources), 3);

    EXPECT_EQ (main->toolbar.getBounds(), juce::Rectangle<int> (0, 0, 1198, 50));
    EXPECT_EQ (main->productList.getBounds(), juce::Rectangle<int> (0, 50, 1198, 550));
    EXPECT_EQ (main->loginDialog.getBounds(), juce::Rectangle<int> (0, 0, 1198, 600));
    EXPECT_EQ (main->resources.getBounds(), juce::Rectangle<int> (0, 0, 1198, 600));
    EXPECT_EQ (main->productList.products, &main->listedProducts);
    EXPECT_TRUE (main->isTimerRunning());
}

TEST_F (MainComponentFixture, LogOutShowsTheSignInOverlayAgainAndOtherMessagesChangeNothing)
{
    main->loginDialog.setVisible (false);

    OtherBroadcaster other;
    other.addChangeListener (main.get());
    other.sendChangeMessage();
    TestSupport::pumpFor (100);
    EXPECT_FALSE (main->loginDialog.isVisible());
    other.removeChangeListener (main.get());

    main->toolbar.requestLogOut();
    EXPECT_TRUE (TestSupport::pumpUntil ([this]
                                         { return main->loginDialog.isVisible(); }));
    EXPECT_TRUE (main->listedProducts.isEmpty());
}

TEST (MainComponent, WithoutAConnectionTheTableIsBuiltFromTheStoredCatalogueSortedByName)
{
    VelmoraApplication::getSettings()->getUserSettings()->setValue (
        "xmlAppProducts",
        "<INSTALLATION_MANAGER><PLUGIN name=\"b\" nameView=\"Beta\"/><PLUGIN name=\"a\" nameView=\"Alpha\"/></INSTALLATION_MANAGER>");

    MainComponent main;
    main.setSize (1198, 600);

    // Nothing serves the storage address: the worker reports and the table is built anyway.
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! main.resources.isVisible(); },
                                         30000));
    ASSERT_EQ (main.listedProducts.size(), 2);
    EXPECT_EQ (main.installers.size(), 2);
    EXPECT_EQ (main.productList.table.getNumRows(), 2);
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return main.listedProducts[0]->nameView == "Alpha"; }));

    juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
    TestSupport::pumpFor (50);
}
