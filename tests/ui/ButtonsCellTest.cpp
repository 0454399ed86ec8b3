#include "ui/ButtonsCell.h"
#include "UiTestProducts.h"

namespace
{
class RecordingListener : public juce::Button::Listener
{
public:
    void buttonClicked (juce::Button* button) override { pressed.add (button); }

    juce::Array<juce::Button*> pressed;
};

std::unique_ptr<ProductBase> makeProduct (const juce::String& kind)
{
    if (kind == "Plugin")
        return std::make_unique<FakePlugin>();

    if (kind == "Executable")
        return std::make_unique<FakeExecutable>();

    return std::make_unique<FakeBundle>();
}
} // namespace

TEST (ButtonsCell, NewCellShowsDownloadOnlyAndSendsPressesToItsListener)
{
    RecordingListener listener;
    ButtonsCell cell (&listener);

    EXPECT_EQ (cell.downloadButton.getButtonText(), juce::String ("DOWNLOAD"));
    EXPECT_EQ (cell.downloadButton.getName(), juce::String ("DOWNLOAD"));
    EXPECT_EQ (cell.bundleButton.getButtonText(), juce::String ("VIEW BUNDLE"));
    EXPECT_TRUE (cell.downloadButton.isVisible());
    EXPECT_FALSE (cell.bundleButton.isVisible());
    EXPECT_EQ (cell.downloadButton.row, -1);
    EXPECT_EQ (cell.bundleButton.row, -1);

    cell.downloadButton.triggerClick();
    cell.bundleButton.triggerClick();
    TestSupport::pumpUntil ([&]
                            { return listener.pressed.size() == 2; },
                            2000);
    ASSERT_EQ (listener.pressed.size(), 2);
    EXPECT_NE (dynamic_cast<DownloadButton*> (listener.pressed[0]), nullptr);
    EXPECT_NE (dynamic_cast<BundleButton*> (listener.pressed[1]), nullptr);

    ButtonsCell withoutListener (nullptr);
    withoutListener.downloadButton.triggerClick();
    TestSupport::pumpFor (50);
    EXPECT_EQ (listener.pressed.size(), 2);
}

TEST (ButtonsCell, VisibilityByKindAndKindOfView)
{
    struct VisibilityCase
    {
        const char* kind;
        bool isBundleView;
        bool download, bundle;
    };

    const std::vector<VisibilityCase> cases {
        { "Plugin", false, true, false },
        { "Plugin", true, false, false },
        { "Executable", false, true, false },
        { "Executable", true, true, false },
        { "Bundle", false, true, true },
        { "Bundle", true, true, true },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.kind) + (c.isBundleView ? " in a bundle view" : " in the main table"));

        auto product = makeProduct (c.kind);
        ButtonsCell cell (nullptr);
        cell.setSize (220, 70);
        cell.update (6, product.get(), c.isBundleView);

        EXPECT_EQ (cell.downloadButton.isVisible(), c.download);
        EXPECT_EQ (cell.bundleButton.isVisible(), c.bundle);
        EXPECT_EQ (cell.downloadButton.row, 6);
        EXPECT_EQ (cell.bundleButton.row, 6);
    }
}

TEST (ButtonsCell, CaptionFollowsTheWorkersProgress)
{
    auto installer = makeIdleInstaller();
    FakePlugin product;
    product.downloadInstaller = installer.get();
    ButtonsCell cell (nullptr);

    const std::vector<std::pair<double, const char*>> cases {
        { 0.0, "STOP" },
        { -1.0, "DOWNLOAD" },
        { 0.5, "STOP" },
        { -0.999, "STOP" },
        { 1.7, "STOP" },
        { -1.0, "DOWNLOAD" },
    };

    for (auto& [progress, caption] : cases)
    {
        installer->progress = progress;
        cell.update (0, &product, false);
        EXPECT_EQ (cell.downloadButton.getButtonText(), juce::String (caption)) << "progress " << progress;
    }

    // Without a worker the caption stays as it was.
    FakePlugin withoutWorker;
    cell.downloadButton.setButtonText ("STOP");
    cell.update (1, &withoutWorker, false);
    EXPECT_EQ (cell.downloadButton.getButtonText(), juce::String ("STOP"));
}

TEST (ButtonsCell, Layout)
{
    struct LayoutCase
    {
        int width, height;
        juce::Rectangle<int> download, bundle;
    };

    const std::vector<LayoutCase> cases {
        { 220, 70, { 0, 18, 106, 35 }, { 110, 18, 106, 35 } },
        { 221, 71, { 0, 17, 106, 36 }, { 110, 17, 106, 36 } }, // 35.5 rounds to the even 36
        { 220, 69, { 0, 17, 106, 34 }, { 110, 17, 106, 34 } }, // 34.5 rounds to the even 34
        { 1, 1, { 0, 0, 0, 0 }, { 0, 0, 0, 0 } },
        { 300, 100, { 0, 25, 144, 50 }, { 150, 25, 144, 50 } },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height));

        FakeBundle bundle;
        ButtonsCell cell (nullptr);
        cell.update (0, &bundle, false);
        cell.setSize (c.width, c.height);

        EXPECT_EQ (cell.downloadButton.getBounds(), c.download);
        EXPECT_EQ (cell.bundleButton.getBounds(), c.bundle);
    }
}

TEST (ButtonsCell, HiddenDownloadButtonPlacesNothing)
{
    FakePlugin plugin;
    ButtonsCell cell (nullptr);
    cell.update (0, &plugin, true);
    cell.setSize (220, 70);

    EXPECT_TRUE (cell.downloadButton.getBounds().isEmpty());
    EXPECT_TRUE (cell.bundleButton.getBounds().isEmpty());
}

// A cell first laid out for a row without buttons and then reused for a row
// with buttons shows them at their place without a change of size.
TEST (ButtonsCell, ReusedCellLaysOutButtonsThatBecomeVisible)
{
    FakePlugin plugin;
    FakeBundle bundle;
    ButtonsCell cell (nullptr);
    cell.update (0, &plugin, true);
    cell.setSize (220, 70);

    cell.update (0, &bundle, true);
    EXPECT_EQ (cell.downloadButton.getBounds(), juce::Rectangle<int> (0, 18, 106, 35));
    EXPECT_EQ (cell.bundleButton.getBounds(), juce::Rectangle<int> (110, 18, 106, 35));
}
