#include "UiTestViews.h"

#include <atomic>

namespace
{
class ProductTable : public ::testing::Test
{
protected:
    void SetUp() override { view.setSize (1000, 400); }

    void show()
    {
        view.setProducts (&listed);
        view.table.updateContent();
    }

    template <typename Kind = FakePlugin>
    Kind& list (const juce::String& name, int status = notInstalled, bool withWorker = false)
    {
        auto& product = store.add<Kind> (name, status, withWorker);
        listed.add (&product);
        return product;
    }

    juce::StringArray shownNames() const
    {
        juce::StringArray names;

        for (auto* product : listed)
            names.add (product->name);

        return names;
    }

    ListProductView view;
    juce::Array<ProductBase*> listed;
    ProductStore store;
};

juce::Image paintRow (ListProductView& view, int row, int width = 200, int height = 70)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    view.paintRowBackground (g, row, width, height, false);
    return image;
}

juce::Image paintCell (ListProductView& view, int row, int columnId, int width, int height)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    view.paintCell (g, row, columnId, width, height, false);
    return image;
}
} // namespace

TEST_F (ProductTable, HasTheSevenColumns)
{
    struct ColumnCase
    {
        int id;
        const char* title;
        int width;
        bool sortable;
    };

    const std::vector<ColumnCase> columns {
        { 1, "", 160, false },
        { 2, "Name", 150, true },
        { 3, "Category", 150, true },
        { 4, "Version", 60, true },
        { 5, "Status", 150, true },
        { 8, "", 220, false },
        { 9, "Product Page", 100, false },
    };

    auto& header = view.table.getHeader();
    ASSERT_EQ (header.getNumColumns (true), (int) columns.size());
    EXPECT_FALSE (header.isPopupMenuActive());
    EXPECT_EQ (view.table.getRowHeight(), 70);
    EXPECT_EQ (view.table.getModel(), &view);
    EXPECT_EQ (view.table.getBounds(), view.getLocalBounds());

    for (int index = 0; index < (int) columns.size(); ++index)
    {
        auto& c = columns[(size_t) index];
        SCOPED_TRACE (c.id);

        EXPECT_EQ (header.getColumnIdOfIndex (index, true), c.id);
        EXPECT_EQ (header.getColumnName (c.id), juce::String (c.title));
        EXPECT_EQ (header.getColumnWidth (c.id), c.width);

        header.setColumnWidth (c.id, 10);
        EXPECT_EQ (header.getColumnWidth (c.id), 50);
        header.setColumnWidth (c.id, 1000);
        EXPECT_EQ (header.getColumnWidth (c.id), 400);

        // A click on the column's title sorts by it only when it is sortable.
        header.setSortColumnId (0, true);
        header.columnClicked (c.id, {});
        EXPECT_EQ (header.getSortColumnId(), c.sortable ? c.id : 0);
    }
}

TEST_F (ProductTable, NoRowsAndNoActionsBeforeTheProductsAreSet)
{
    auto& product = list ("Product", notInstalled, true);
    view.table.updateContent();

    EXPECT_EQ (view.getNumRows(), 0);
    EXPECT_EQ (view.table.getNumRows(), 0);
    EXPECT_EQ (buttonsCellOf (view, 0), nullptr);

    // Nothing painted, nothing sorted, no download started.
    EXPECT_EQ (sampleInk (paintCell (view, 0, 2, 150, 70), { 0, 0, 150, 70 }).paintedPixels, 0);
    view.sortOrderChanged (2, true);
    DownloadButton button ("DOWNLOAD");
    button.row = 0;
    view.buttonClicked (&button);
    EXPECT_FALSE (product.downloadInstaller->isThreadRunning());
    EXPECT_EQ (product.downloadInstaller->progress, -1.0);
}

TEST_F (ProductTable, RowsAlternateAndSelectionDoesNotShow)
{
    for (int row = 0; row < 4; ++row)
    {
        auto expected = row % 2 == 0 ? 0xff1a1a1au : 0xff000000u;

        for (auto selected : { false, true })
        {
            juce::Image image (juce::Image::ARGB, 200, 70, true);
            juce::Graphics g (image);
            view.paintRowBackground (g, row, 200, 70, selected);

            EXPECT_EQ (image.getPixelAt (0, 0).getARGB(), expected) << "row " << row;
            EXPECT_EQ (image.getPixelAt (199, 69).getARGB(), expected) << "row " << row;
        }
    }

    // The same inside the painted table, between the texts.
    list ("First");
    list ("Second");
    show();
    auto image = TestSupport::paintToImage (view);

    for (int row = 0; row < 2; ++row)
    {
        auto cell = view.table.getCellPosition (3, row, false);
        auto point = view.table.getLocalPoint (&view.table, cell.getPosition()) + juce::Point<int> (2, 2);
        EXPECT_EQ (image.getPixelAt (point.x, point.y).getARGB(), row == 0 ? 0xff1a1a1au : 0xff000000u);
    }

    EXPECT_EQ (paintRow (view, 0).getPixelAt (10, 10).getARGB(), 0xff1a1a1au);
}

TEST_F (ProductTable, ThumbnailIsFittedAndCentredInItsBox)
{
    struct ThumbnailCase
    {
        int imageWidth, imageHeight;
        int cellWidth, cellHeight;
        juce::Rectangle<int> drawn;
    };

    const std::vector<ThumbnailCase> cases {
        { 256, 112, 160, 70, { 16, 7, 128, 56 } }, // the box's proportions, scaled down
        { 64, 28, 160, 70, { 16, 7, 128, 56 } }, // scaled up
        { 100, 100, 160, 70, { 52, 7, 56, 56 } }, // square, centred across the box
        { 400, 50, 160, 70, { 16, 27, 128, 16 } }, // wide, centred down the box
        { 256, 112, 161, 71, { 16, 7, 129, 57 } },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.imageWidth) + " x " + juce::String (c.imageHeight) + " in " + juce::String (c.cellWidth) + " x " + juce::String (c.cellHeight));

        listed.clear();
        auto& product = list ("Pictured");
        product.thumbnail = juce::Image (juce::Image::ARGB, c.imageWidth, c.imageHeight, false);
        product.thumbnail.clear (product.thumbnail.getBounds(), juce::Colours::red);
        show();

        auto image = paintCell (view, 0, ListProductView::thumbnailColumn, c.cellWidth, c.cellHeight);
        juce::Rectangle<int> solid;

        for (int y = 0; y < c.cellHeight; ++y)
            for (int x = 0; x < c.cellWidth; ++x)
                if (image.getPixelAt (x, y).getARGB() == 0xffff0000u)
                    solid = solid.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : solid.getUnion ({ x, y, 1, 1 });

        // Edges may be blended by the scaling; the fully covered area must match.
        EXPECT_LE (std::abs (solid.getX() - c.drawn.getX()), 1);
        EXPECT_LE (std::abs (solid.getY() - c.drawn.getY()), 1);
        EXPECT_LE (std::abs (solid.getRight() - c.drawn.getRight()), 1);
        EXPECT_LE (std::abs (solid.getBottom() - c.drawn.getBottom()), 1);
        EXPECT_EQ (sampleInk (image, image.getBounds()).paintedPixels,
                   sampleInk (image, c.drawn.expanded (1)).paintedPixels);
    }

    listed.clear();
    list ("Without picture");
    show();
    EXPECT_EQ (sampleInk (paintCell (view, 0, 1, 160, 70), { 0, 0, 160, 70 }).paintedPixels, 0);
}

TEST_F (ProductTable, TextColumnsAreWhiteCentredOneLine)
{
    auto& product = list ("internal", latestVersion);
    product.nameView = "Shown Name";
    product.category = "Reverb";
    product.installedVersion = "1.2.3";
    show();

    for (auto columnId : { 2, 3, 4 })
    {
        SCOPED_TRACE (columnId);
        auto image = paintCell (view, 0, columnId, 150, 70);
        auto ink = sampleInk (image, image.getBounds());
        ASSERT_GT (ink.paintedPixels, 10);
        EXPECT_EQ (ink.strongest.getARGB(), 0xffffffffu);

        juce::Rectangle<int> inked;

        for (int y = 0; y < 70; ++y)
            for (int x = 0; x < 150; ++x)
                if (image.getPixelAt (x, y).getAlpha() > 0)
                    inked = inked.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : inked.getUnion ({ x, y, 1, 1 });

        EXPECT_LE (std::abs (inked.getCentreX() - 75), 2);
        EXPECT_LE (std::abs (inked.getCentreY() - 35), 3);
    }

    // A long name is squeezed onto one line, 3 pixels in from both edges.
    product.nameView = juce::String::repeatedString ("Wide Name ", 8);
    auto image = paintCell (view, 0, 2, 150, 70);
    EXPECT_EQ (sampleInk (image, { 0, 0, 3, 70 }).paintedPixels, 0);
    EXPECT_EQ (sampleInk (image, { 147, 0, 3, 70 }).paintedPixels, 0);
    EXPECT_EQ (sampleInk (image, { 0, 0, 150, 24 }).paintedPixels, 0);
    EXPECT_EQ (sampleInk (image, { 0, 46, 150, 24 }).paintedPixels, 0);

    // Other columns are not painted.
    for (auto columnId : { 5, 8, 9 })
        EXPECT_EQ (sampleInk (paintCell (view, 0, columnId, 150, 70), { 0, 0, 150, 70 }).paintedPixels, 0);
}

TEST_F (ProductTable, SortsInPlaceByExchange)
{
    struct SortCase
    {
        const char* what;
        int columnId;
        bool forwards;
        std::vector<juce::String> keys;
        juce::StringArray expected; // the products are named after their index
    };

    const std::vector<SortCase> cases {
        { "equal keys", 2, true, { "B", "B", "A" }, { "2", "1", "0" } },
        { "upper case first", 2, true, { "beta", "Alpha", "alpha", "Beta" }, { "1", "3", "2", "0" } },
        { "prefix first", 2, true, { "Synth X", "Synth" }, { "1", "0" } },
        { "digits are text", 2, true, { "Synth 9", "Synth 10" }, { "1", "0" } },
        { "name backwards", 2, false, { "A", "C", "B" }, { "1", "2", "0" } },
        { "equal keys backwards", 2, false, { "A", "A", "B" }, { "2", "1", "0" } },
        // Only keys that differ are swapped: equal ones keep their order.
        { "two equal names", 2, true, { "B", "B" }, { "0", "1" } },
        { "three equal names", 2, true, { "A", "A", "A" }, { "0", "1", "2" } },
        { "two equal names backwards", 2, false, { "A", "A" }, { "0", "1" } },
        { "equal categories", 3, true, { "EQ", "EQ" }, { "0", "1" } },
        { "equal versions backwards", 4, false, { "1.0.10", "1.0.10" }, { "0", "1" } },
        { "equal status", 5, true, { "1", "1", "1" }, { "0", "1", "2" } },
        { "equal status backwards", 5, false, { "2", "2" }, { "0", "1" } },
        { "category", 3, true, { "Reverb", "Delay", "EQ" }, { "1", "2", "0" } },
        { "version as text", 4, true, { "9.0.0", "10.0.0", "1.2.3" }, { "2", "1", "0" } },
        { "version backwards", 4, false, { "9.0.0", "10.0.0", "1.2.3" }, { "0", "1", "2" } },
        { "status", 5, true, { "3", "1", "2", "0" }, { "3", "1", "2", "0" } },
        { "status backwards", 5, false, { "3", "1", "2", "0" }, { "0", "2", "1", "3" } },
        { "thumbnail column", 1, true, { "B", "A" }, { "0", "1" } },
        { "buttons column", 8, true, { "B", "A" }, { "0", "1" } },
        { "product page column", 9, false, { "A", "B" }, { "0", "1" } },
        { "unknown column", 42, true, { "B", "A" }, { "0", "1" } },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        listed.clear();

        for (int i = 0; i < (int) c.keys.size(); ++i)
        {
            auto& key = c.keys[(size_t) i];
            auto& product = list (juce::String (i), key.getIntValue());
            product.nameView = c.columnId == 2 ? key : "same";
            product.category = c.columnId == 3 ? key : "same";
            product.installedVersion = c.columnId == 4 ? key : "same";

            // For the other columns the names would sort the other way.
            if (c.columnId != 2 && c.columnId != 5)
                product.nameView = key;
        }

        show();
        view.sortOrderChanged (c.columnId, c.forwards);
        EXPECT_EQ (shownNames(), c.expected);
    }
}

TEST_F (ProductTable, SortRefreshesTheTableForEveryColumn)
{
    auto& product = list ("Product", notInstalled);
    show();
    ASSERT_NE (statusCellOf (view, 0), nullptr);

    for (auto columnId : { 1, 2, 5, 8, 9 })
    {
        product.status = product.status == notInstalled ? latestVersion : notInstalled;
        view.sortOrderChanged (columnId, true);
        EXPECT_EQ (statusCellOf (view, 0)->label.getText(),
                   juce::String (product.status == notInstalled ? "Not installed" : "Latest version"))
            << "column " << columnId;
    }

    // Without products: no refresh.
    view.products = nullptr;
    product.status = updateAvailable;
    view.sortOrderChanged (2, true);
    EXPECT_NE (statusCellOf (view, 0)->label.getText(), juce::String ("Update available"));
}

TEST_F (ProductTable, SortByNameGoesThroughTheHeader)
{
    list ("b").nameView = "b";
    list ("A").nameView = "A";
    list ("a").nameView = "a";
    show();

    view.sortByName();
    TestSupport::pumpUntil ([this]
                            { return shownNames() == juce::StringArray { "A", "a", "b" }; },
                            2000);
    EXPECT_EQ (shownNames(), (juce::StringArray { "A", "a", "b" }));
    EXPECT_EQ (view.table.getHeader().getSortColumnId(), 2);
    EXPECT_TRUE (view.table.getHeader().isSortedForwards());
}

TEST_F (ProductTable, CellsAreMadeOncePerRowComponentAndFollowTheirRow)
{
    auto& first = list<FakePlugin> ("First", notInstalled, true);
    first.productPage = "http://127.0.0.1/first";
    auto& second = list<FakeBundle> ("Second", latestVersion, true);
    second.productPage = "http://127.0.0.1/second";
    show();

    auto* status = statusCellOf (view, 0);
    auto* buttons = buttonsCellOf (view, 0);
    auto* link = dynamic_cast<juce::HyperlinkButton*> (view.table.getCellComponent (9, 0));
    ASSERT_NE (status, nullptr);
    ASSERT_NE (buttons, nullptr);
    ASSERT_NE (link, nullptr);
    EXPECT_EQ (link->getButtonText(), juce::String ("Link"));
    EXPECT_EQ (link->getURL().toString (false), juce::String ("http://127.0.0.1/first"));
    EXPECT_EQ (first.downloadInstaller->row, 0);
    EXPECT_EQ (second.downloadInstaller->row, 1);

    // The painted columns hold only the table's own empty placeholders.
    for (auto columnId : { 1, 2, 3, 4 })
        EXPECT_EQ (view.table.getCellComponent (columnId, 0)->getNumChildComponents(), 0);

    // Sorting moves the products, the cells stay with their row components.
    view.sortOrderChanged (2, false);
    ASSERT_EQ (listed.getFirst(), &second);
    EXPECT_EQ (statusCellOf (view, 0), status);
    EXPECT_EQ (buttonsCellOf (view, 0), buttons);
    EXPECT_EQ (view.table.getCellComponent (9, 0), link);
    EXPECT_EQ (link->getURL().toString (false), juce::String ("http://127.0.0.1/second"));
    EXPECT_EQ (status->label.getText(), juce::String ("Latest version"));
    EXPECT_TRUE (buttons->bundleButton.isVisible());
    EXPECT_EQ (second.downloadInstaller->row, 0);
    EXPECT_EQ (first.downloadInstaller->row, 1);
    EXPECT_EQ (buttonsCellOf (view, 1)->downloadButton.row, 1);
}

namespace
{
class CountingView : public ListProductView
{
public:
    void changeListenerCallback (juce::ChangeBroadcaster* source) override
    {
        ++messages;
        ListProductView::changeListenerCallback (source);
    }

    int messages = 0;
};
} // namespace

TEST (ProductTableListening, ViewListensOnceHoweverOftenARowIsRefreshed)
{
    CountingView view;
    view.setSize (1000, 400);
    juce::Array<ProductBase*> listed;
    ProductStore store;
    listed.add (&store.add<FakePlugin> ("Listed", notInstalled, true));
    listed.add (&store.add<FakePlugin> ("Without worker"));
    view.setProducts (&listed);

    for (int i = 0; i < 3; ++i)
        view.table.updateContent();

    store.installers[0]->sendSynchronousChangeMessage();
    EXPECT_EQ (view.messages, 1);
}

TEST_F (ProductTable, DownloadPressWithoutWorkerOrOutsideTheArrayDoesNothing)
{
    list ("Without worker", notInstalled, false);
    auto& withWorker = list ("With worker", notInstalled, true);
    show();

    auto* cell = buttonsCellOf (view, 0);
    ASSERT_NE (cell, nullptr);
    press (cell->downloadButton);
    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));

    DownloadButton stray ("DOWNLOAD");
    for (auto row : { -1, 2, 100 })
    {
        stray.row = row;
        view.buttonClicked (&stray);
        EXPECT_EQ (stray.getButtonText(), juce::String ("DOWNLOAD"));
    }

    // Buttons of other classes are ignored, whatever row they name.
    ListBaseButton other ("OTHER");
    other.row = 1;
    view.buttonClicked (&other);
    juce::TextButton plain ("PLAIN");
    view.buttonClicked (&plain);

    EXPECT_FALSE (withWorker.downloadInstaller->isThreadRunning());
    EXPECT_EQ (withWorker.downloadInstaller->progress, -1.0);
}

namespace
{
// Serves an archive slowly, so that a download runs until it is stopped.
class SlowArchiveServer
{
public:
    SlowArchiveServer()
    {
        server.server().Get ("/slow.zip", [this] (const httplib::Request&, httplib::Response& response)
                             { response.set_content_provider (
                                   64 * 1024 * 1024,
                                   "application/zip",
                                   [this] (size_t, size_t, httplib::DataSink& sink)
                                   {
                                       if (closing)
                                           return false;

                                       std::string chunk (4096, 'x');
                                       sink.write (chunk.data(), chunk.size());
                                       std::this_thread::sleep_for (std::chrono::milliseconds (20));
                                       return ! closing.load();
                                   }); });
        server.start();
    }

    ~SlowArchiveServer()
    {
        closing = true;
        server.stop();
    }

    juce::URL getUrl() const { return juce::URL (server.getUrl ("/slow.zip")); }

private:
    std::atomic<bool> closing { false };
    LoopbackServer server;
};
} // namespace

TEST_F (ProductTable, DownloadThenStopAgainstASlowServer)
{
    SlowArchiveServer slowServer;
    list ("Other", latestVersion, true);
    auto& product = list ("Slow", notInstalled, false);
    store.installers.add (std::make_unique<DownloadInstaller> (slowServer.getUrl()));
    auto* installer = store.installers.getLast();
    product.downloadInstaller = installer;
    show();

    auto* cell = buttonsCellOf (view, 1);
    ASSERT_NE (cell, nullptr);
    press (cell->downloadButton);

    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("STOP"));
    EXPECT_TRUE (installer->isThreadRunning());
    EXPECT_GE (installer->progress, 0.0);
    EXPECT_EQ (statusCellOf (view, 1)->label.getText(), juce::String ("Downloading..."));
    EXPECT_TRUE (statusCellOf (view, 1)->progressBar->isVisible());
    EXPECT_EQ (buttonsCellOf (view, 0)->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));

    // It keeps running and keeps "STOP" until it is stopped.
    TestSupport::pumpFor (200);
    EXPECT_TRUE (installer->isThreadRunning());
    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("STOP"));

    // The press itself leaves "STOP"; the end of the run, handled next, puts "DOWNLOAD" back.
    view.buttonClicked (&cell->downloadButton);
    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("STOP"));
    EXPECT_TRUE (installer->stopRequested.load());

    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return cell->downloadButton.getButtonText() == "DOWNLOAD"; }));
    EXPECT_FALSE (installer->isThreadRunning());
    EXPECT_EQ (installer->progress, -1.0);
    EXPECT_EQ (statusCellOf (view, 1)->label.getText(), juce::String ("Not installed"));
    EXPECT_FALSE (statusCellOf (view, 1)->progressBar->isVisible());
}

TEST_F (ProductTable, EndOfADownloadPutsDownloadBackOnItsRow)
{
    list ("Zero", notInstalled, false);
    list ("One", notInstalled, true);
    auto& two = list ("Two", notInstalled, true);
    show();

    auto* cell = buttonsCellOf (view, 2);
    cell->downloadButton.setButtonText ("STOP");
    buttonsCellOf (view, 0)->downloadButton.setButtonText ("STOP");
    listed[0]->installedVersion = "changed";
    dynamic_cast<FakePlugin*> (listed[0])->status = latestVersion;

    two.downloadInstaller->sendSynchronousChangeMessage();

    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
    EXPECT_EQ (statusCellOf (view, 0)->label.getText(), juce::String ("Latest version")); // refreshed
    EXPECT_EQ (buttonsCellOf (view, 0)->downloadButton.getButtonText(), juce::String ("STOP")); // a row without worker keeps its caption

    // A change message from something that is not a download worker changes nothing.
    juce::ChangeBroadcaster other;
    cell->downloadButton.setButtonText ("STOP");
    view.changeListenerCallback (&other);
    EXPECT_EQ (cell->downloadButton.getButtonText(), juce::String ("STOP"));
}

TEST_F (ProductTable, EndOfADownloadOffScreenChangesNothing)
{
    for (int i = 0; i < 40; ++i)
        list ("Product " + juce::String (i).paddedLeft ('0', 2), notInstalled, i == 0 || i == 30);

    show();
    auto* offScreen = listed[30];

    // Shown once, so the view listens to its worker; then scrolled off screen again.
    view.table.scrollToEnsureRowIsOnscreen (30);
    TestSupport::pumpFor (20);
    ASSERT_NE (buttonsCellOf (view, 30), nullptr);
    view.table.scrollToEnsureRowIsOnscreen (0);
    TestSupport::pumpFor (20);
    ASSERT_EQ (buttonsCellOf (view, 30), nullptr);
    ASSERT_NE (buttonsCellOf (view, 0), nullptr);

    // Its row may name a row on screen, when another view refreshed the product last.
    offScreen->downloadInstaller->row = 0;
    buttonsCellOf (view, 0)->downloadButton.setButtonText ("STOP");
    dynamic_cast<FakePlugin*> (listed[1])->status = latestVersion;

    offScreen->downloadInstaller->sendSynchronousChangeMessage();

    EXPECT_EQ (buttonsCellOf (view, 0)->downloadButton.getButtonText(), juce::String ("STOP"));
    EXPECT_EQ (statusCellOf (view, 1)->label.getText(), juce::String ("Not installed")); // not refreshed
}

TEST_F (ProductTable, RefreshBundleViewsRefreshesTheChainFromTheTop)
{
    list ("Top");
    show();
    auto& bundle = list<FakeBundle> ("Bundle");
    auto& inner = list<FakeBundle> ("Inner");
    bundle.products.add (&inner);
    inner.products.add (&store.add<FakeExecutable> ("Member"));
    listed.removeRange (1, 2);

    view.bundleView = std::make_unique<ListBundleView>();
    view.bundleView->setSize (1100, 400);
    view.bundleView->products = &bundle.products;
    view.bundleView->bundleView = std::make_unique<ListBundleView>();
    view.bundleView->bundleView->setSize (1100, 400);
    view.bundleView->bundleView->products = &inner.products;

    listed.add (&store.add<FakePlugin> ("Added"));
    view.refreshBundleViews (true);

    EXPECT_NE (statusCellOf (view, 1), nullptr);
    EXPECT_NE (statusCellOf (*view.bundleView, 0), nullptr);
    EXPECT_NE (statusCellOf (*view.bundleView->bundleView, 0), nullptr);
    EXPECT_TRUE (buttonsCellOf (*view.bundleView->bundleView, 0)->downloadButton.isVisible());
}
