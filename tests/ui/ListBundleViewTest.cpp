#include "UiTestViews.h"

namespace
{
// A main table with a plug-in, a bundle of three members (a plug-in, a program
// without worker and a program that is also listed by itself) and a nested bundle.
class BundleViews : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.setSize (1000, 400);

        listed.add (&store.add<FakePlugin> ("Alone", notInstalled, true));
        bundle = &store.add<FakeBundle> ("Bundle Name", notInstalled, true);
        bundle->nameView = "Shown Bundle";
        listed.add (bundle);

        bundle->products.add (&store.add<FakePlugin> ("Member Plugin"));
        bundle->products.add (&store.add<FakeExecutable> ("Member Program"));
        nested = &store.add<FakeBundle> ("Nested Bundle");
        bundle->products.add (nested);
        nested->products.add (&store.add<FakeExecutable> ("Nested Program", latestVersion, true));

        shared = &store.add<FakeExecutable> ("Shared", notInstalled, true);
        shared->isNoBundleAvailable = true;
        bundle->products.add (shared);
        listed.add (shared);

        view.setProducts (&listed);
        view.table.updateContent();
    }

    void TearDown() override
    {
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        TestSupport::pumpFor (50);
    }

    ListBundleView* openBundleOfRow (ListProductView& from, int row)
    {
        auto* cell = buttonsCellOf (from, row);

        if (cell == nullptr || ! cell->bundleButton.isVisible())
            return nullptr;

        press (cell->bundleButton);
        return dynamic_cast<ListBundleView*> (from.bundleView.get());
    }

    ListProductView view;
    juce::Array<ProductBase*> listed;
    ProductStore store;
    FakeBundle* bundle = nullptr;
    FakeBundle* nested = nullptr;
    FakeExecutable* shared = nullptr;
};
} // namespace

TEST (BundleViewLayout, TableAboveACentredCloseButton)
{
    struct LayoutCase
    {
        int width, height;
        juce::Rectangle<int> table, close;
    };

    const std::vector<LayoutCase> cases {
        { 1100, 400, { 0, 0, 1100, 358 }, { 500, 364, 100, 30 } },
        { 1101, 400, { 0, 0, 1101, 358 }, { 500, 364, 100, 30 } },
        { 1100, 30, { 0, 0, 1100, 0 }, { 500, -6, 100, 30 } },
        { 60, 42, { 0, 0, 60, 0 }, { -20, 6, 100, 30 } },
    };

    for (auto& c : cases)
    {
        ListBundleView bundleView;
        bundleView.setSize (c.width, c.height);
        EXPECT_EQ (bundleView.table.getBounds(), c.table);
        EXPECT_EQ (bundleView.closeButton.getBounds(), c.close);
        EXPECT_EQ (bundleView.closeButton.getButtonText(), juce::String ("CLOSE"));
    }

    // "CLOSE" without a window is ignored.
    ListBundleView withoutWindow;
    withoutWindow.buttonClicked (&withoutWindow.closeButton);
    EXPECT_TRUE (withoutWindow.dialogWindow == nullptr);
}

TEST_F (BundleViews, OpensInAModalWindowTitledWithTheCatalogueName)
{
    ASSERT_FALSE (buttonsCellOf (view, 0)->bundleButton.isVisible());
    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);

    EXPECT_EQ (bundleView->getWidth(), 1100);
    EXPECT_EQ (bundleView->getHeight(), 400);
    EXPECT_EQ (bundleView->products, &bundle->products);
    EXPECT_EQ (bundleView->table.getNumRows(), 4);

    juce::DialogWindow* window = bundleView->dialogWindow;
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getName(), juce::String ("Bundle Name"));
    EXPECT_EQ (window->getContentComponent(), bundleView);
    EXPECT_TRUE (window->isCurrentlyModal());
    EXPECT_TRUE (window->isVisible());
    EXPECT_TRUE (window->isResizable());
    EXPECT_FALSE (window->isUsingNativeTitleBar());
    EXPECT_EQ (window->getBackgroundColour(), juce::Colours::grey);

    // The strip under the table shows the window's grey background.
    auto image = TestSupport::paintToImage (*window);
    auto strip = window->getLocalPoint (bundleView, juce::Point<int> (20, 380));
    EXPECT_EQ (image.getPixelAt (strip.x, strip.y).getARGB(), 0xff808080u);
}

TEST_F (BundleViews, RowButtonsOfABundleView)
{
    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);

    struct RowCase
    {
        int row;
        bool download, viewBundle;
    };

    const std::vector<RowCase> rows {
        { 0, false, false }, // a plug-in shows no button in a bundle view
        { 1, true, false },
        { 2, true, true },
        { 3, true, false },
    };

    for (auto& r : rows)
    {
        auto* cell = buttonsCellOf (*bundleView, r.row);
        ASSERT_NE (cell, nullptr);
        EXPECT_EQ (cell->downloadButton.isVisible(), r.download) << "row " << r.row;
        EXPECT_EQ (cell->bundleButton.isVisible(), r.viewBundle) << "row " << r.row;
    }

    // In the main table the same plug-in kind keeps its "DOWNLOAD".
    EXPECT_TRUE (buttonsCellOf (view, 0)->downloadButton.isVisible());

    // "DOWNLOAD" of a member without worker does nothing; with a worker it toggles it.
    press (buttonsCellOf (*bundleView, 1)->downloadButton);
    EXPECT_EQ (buttonsCellOf (*bundleView, 1)->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
}

TEST_F (BundleViews, EscapeTitleBarAndCloseAllCloseTheWindowAndKeepTheView)
{
    const std::vector<juce::String> ways { "CLOSE", "escape", "title bar" };

    for (auto& way : ways)
    {
        SCOPED_TRACE (way);
        auto* bundleView = openBundleOfRow (view, 1);
        ASSERT_NE (bundleView, nullptr);
        juce::Component::SafePointer<juce::DialogWindow> window (bundleView->dialogWindow);
        ASSERT_TRUE (window != nullptr);

        if (way == "CLOSE")
            press (bundleView->closeButton);
        else if (way == "escape")
            static_cast<juce::Component*> (window.getComponent())->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
        else
            window->closeButtonPressed();

        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return window == nullptr; },
                                             2000));
        ASSERT_EQ (view.bundleView.get(), bundleView);
        EXPECT_EQ (bundleView->getParentComponent(), nullptr);

        // Still refreshed from the main table.
        bundle->products.getLast()->installedVersion = way;
        view.refreshBundleViews (false);
        EXPECT_EQ (bundleView->table.getNumRows(), 4);
    }
}

TEST_F (BundleViews, NestedBundleOpensFromTheBundleView)
{
    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);
    auto* nestedView = openBundleOfRow (*bundleView, 2);
    ASSERT_NE (nestedView, nullptr);

    EXPECT_EQ (nestedView->products, &nested->products);
    EXPECT_EQ (nestedView->dialogWindow->getName(), juce::String ("Nested Bundle"));
    EXPECT_TRUE (nestedView->dialogWindow->isCurrentlyModal());
    EXPECT_EQ (juce::ModalComponentManager::getInstance()->getNumModalComponents(), 2);
    EXPECT_EQ (statusCellOf (*nestedView, 0)->label.getText(), juce::String ("Latest version"));
    EXPECT_TRUE (buttonsCellOf (*nestedView, 0)->downloadButton.isVisible());
}

TEST_F (BundleViews, SortingReordersTheBundlesOwnArray)
{
    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);
    bundleView->sortOrderChanged (2, false);

    juce::StringArray names;
    for (auto* member : bundle->products)
        names.add (member->name);

    EXPECT_EQ (names, (juce::StringArray { "Shared", "Nested Bundle", "Member Program", "Member Plugin" }));
}

// Opening a bundle again deletes the views opened before; the workers they
// listened to must not reach them afterwards (AddressSanitizer tells).
TEST_F (BundleViews, ReplacedViewsAreTakenOffTheWorkersFirst)
{
    auto* first = openBundleOfRow (view, 1);
    ASSERT_NE (first, nullptr);
    auto* firstNested = openBundleOfRow (*first, 2);
    ASSERT_NE (firstNested, nullptr);
    juce::Component::SafePointer<ListProductView> watchFirst (first), watchNested (firstNested);

    juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
    TestSupport::pumpFor (50);

    auto* second = openBundleOfRow (view, 1);
    ASSERT_NE (second, nullptr);
    EXPECT_TRUE (watchFirst == nullptr);
    EXPECT_TRUE (watchNested == nullptr);

    auto* nestedWorker = nested->products.getFirst()->downloadInstaller;
    nestedWorker->sendChangeMessage();
    shared->downloadInstaller->sendChangeMessage();
    TestSupport::pumpFor (50);

    // The new view still listens.
    buttonsCellOf (*second, 3)->downloadButton.setButtonText ("STOP");
    shared->downloadInstaller->sendSynchronousChangeMessage();
    EXPECT_EQ (buttonsCellOf (*second, 3)->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
}

// The same product in the main table and in a bundle view: each view puts
// "DOWNLOAD" back on its own row of the product, whichever refreshed it last.
TEST_F (BundleViews, DownloadEndReachesTheProductsRowInEveryView)
{
    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);

    const int mainRow = 2, bundleRow = 3;
    ASSERT_EQ (listed[mainRow], shared);
    ASSERT_EQ (bundle->products[bundleRow], shared);

    for (auto mainRefreshedLast : { false, true })
    {
        SCOPED_TRACE (mainRefreshedLast ? "main table refreshed last" : "bundle view refreshed last");

        if (mainRefreshedLast)
            view.table.updateContent();
        else
            bundleView->table.updateContent();

        EXPECT_EQ (shared->downloadInstaller->row, mainRefreshedLast ? mainRow : bundleRow);

        buttonsCellOf (view, mainRow)->downloadButton.setButtonText ("STOP");
        buttonsCellOf (*bundleView, bundleRow)->downloadButton.setButtonText ("STOP");

        // Rows that the worker's row could name in the other view.
        buttonsCellOf (*bundleView, 2)->downloadButton.setButtonText ("STOP");
        bundle->products[2]->downloadInstaller = nullptr;

        shared->downloadInstaller->sendSynchronousChangeMessage();

        EXPECT_EQ (buttonsCellOf (view, mainRow)->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
        EXPECT_EQ (buttonsCellOf (*bundleView, bundleRow)->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
        EXPECT_EQ (buttonsCellOf (*bundleView, 2)->downloadButton.getButtonText(), juce::String ("STOP"));
    }
}

// The same with a real download started from the bundle view and stopped from the main table.
TEST_F (BundleViews, DownloadOfASharedProductAgainstALoopbackServer)
{
    LoopbackServer server;
    std::atomic<bool> closing { false };
    server.server().Get ("/shared.zip", [&closing] (const httplib::Request&, httplib::Response& response)
                         { response.set_content_provider (
                               64 * 1024 * 1024,
                               "application/zip",
                               [&closing] (size_t, size_t, httplib::DataSink& sink)
                               {
                                   std::string chunk (4096, 'x');
                                   sink.write (chunk.data(), chunk.size());
                                   std::this_thread::sleep_for (std::chrono::milliseconds (20));
                                   return ! closing.load();
                               }); });
    server.start();

    store.installers.add (std::make_unique<DownloadInstaller> (juce::URL (server.getUrl ("/shared.zip"))));
    auto* installer = store.installers.getLast();
    shared->downloadInstaller = installer;
    view.table.updateContent();

    auto* bundleView = openBundleOfRow (view, 1);
    ASSERT_NE (bundleView, nullptr);
    auto& bundleButton = buttonsCellOf (*bundleView, 3)->downloadButton;
    auto& mainButton = buttonsCellOf (view, 2)->downloadButton;

    press (bundleButton);
    ASSERT_TRUE (installer->isThreadRunning());
    EXPECT_EQ (bundleButton.getButtonText(), juce::String ("STOP"));

    // The main table's poll refreshes it last, so the worker's row is the main table's.
    view.refreshBundleViews (true);
    EXPECT_EQ (mainButton.getButtonText(), juce::String ("STOP"));
    view.table.updateContent();
    EXPECT_EQ (installer->row, 2);

    press (mainButton);
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! installer->isThreadRunning() && installer->progress == -1.0; }));
    TestSupport::pumpFor (50);

    EXPECT_EQ (mainButton.getButtonText(), juce::String ("DOWNLOAD"));
    EXPECT_EQ (bundleButton.getButtonText(), juce::String ("DOWNLOAD"));
    EXPECT_EQ (statusCellOf (*bundleView, 3)->label.getText(), juce::String ("Not installed"));

    closing = true;
}

TEST_F (BundleViews, MainViewDestroyedWhileABundleWindowIsOpen)
{
    auto owner = std::make_unique<ListProductView>();
    owner->setSize (1000, 400);
    owner->setProducts (&listed);
    owner->table.updateContent();

    auto* bundleView = openBundleOfRow (*owner, 1);
    ASSERT_NE (bundleView, nullptr);
    juce::Component::SafePointer<juce::DialogWindow> window (bundleView->dialogWindow);

    for (auto* product : listed)
        if (product->downloadInstaller != nullptr)
            product->downloadInstaller->removeAllChangeListeners();

    for (auto* product : bundle->products)
        if (product->downloadInstaller != nullptr)
            product->downloadInstaller->removeAllChangeListeners();

    owner = nullptr;
    ASSERT_TRUE (window != nullptr);
    EXPECT_EQ (window->getContentComponent(), nullptr);

    window->closeButtonPressed();
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return window == nullptr; },
                                         2000));
}
