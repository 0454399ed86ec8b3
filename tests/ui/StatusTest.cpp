#include "ui/Status.h"
#include "UiTestProducts.h"

namespace
{
struct StatusCase
{
    int status;
    bool downloading;
    const char* text;
    juce::uint32 colour;
    bool barShown;
};

const std::vector<StatusCase> statusCases {
    { notInstalled, true, "Downloading...", 0xffffffff, true },
    { notInstalled, false, "Not installed", 0xffff0000, false },
    { updateAvailable, false, "Update available", 0xffffff00, false },
    { latestVersion, false, "Latest version", 0xffffffff, false },
    { 7, false, "Latest version", 0xffffffff, false },
    { -3, false, "Latest version", 0xffffffff, false },
};
} // namespace

TEST (Status, TextColourAndBarFollowTheProductStatus)
{
    for (auto& c : statusCases)
    {
        SCOPED_TRACE (c.text + juce::String (" status ") + juce::String (c.status));

        auto installer = makeIdleInstaller();
        FakePlugin product ("Product", c.status);
        product.downloadInstaller = installer.get();

        if (c.downloading)
            installer->progress = 0.0;

        Status cell;
        cell.setSize (150, 70);
        cell.update (4, &product);

        EXPECT_EQ (cell.label.getText(), juce::String (c.text));
        EXPECT_EQ (cell.label.findColour (juce::Label::textColourId), juce::Colour (c.colour));
        ASSERT_NE (cell.progressBar, nullptr);
        EXPECT_EQ (cell.progressBar->isVisible(), c.barShown);

        // The text is painted in that colour, inside the label's area.
        auto image = TestSupport::paintToImage (cell);
        auto ink = sampleInk (image, cell.label.getBounds());
        EXPECT_GT (ink.paintedPixels, 20);
        EXPECT_EQ (ink.strongest.getARGB(), c.colour);

        // Nothing is painted right of the left 80 percent.
        EXPECT_EQ (sampleInk (image, { 121, 0, 29, 70 }).paintedPixels, 0);
    }
}

TEST (Status, LayoutUsesTheLeftEightyPercent)
{
    struct LayoutCase
    {
        int width, height;
        bool downloading;
        juce::Rectangle<int> label, bar;
    };

    const std::vector<LayoutCase> cases {
        { 150, 70, true, { 0, 0, 120, 35 }, { 0, 35, 120, 17 } },
        { 150, 71, true, { 0, 0, 120, 36 }, { 0, 36, 120, 18 } },
        { 150, 69, true, { 0, 0, 120, 34 }, { 0, 34, 120, 17 } }, // 34.5 rounds to the even 34
        { 150, 1, true, { 0, 0, 120, 0 }, { 0, 0, 120, 0 } },
        { 151, 70, true, { 0, 0, 120, 35 }, { 0, 35, 120, 17 } },
        { 150, 70, false, { 0, 0, 120, 70 }, {} },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height) + (c.downloading ? " downloading" : ""));

        auto installer = makeIdleInstaller();
        FakePlugin product ("Product", latestVersion);
        product.downloadInstaller = installer.get();
        installer->progress = c.downloading ? 0.0 : -1.0;

        // Laid out when the size changes and when the bar is shown or hidden.
        Status cell;
        cell.update (0, &product);
        cell.setSize (c.width, c.height);
        EXPECT_EQ (cell.label.getBounds(), c.label);

        if (c.downloading)
        {
            EXPECT_EQ (cell.progressBar->getBounds(), c.bar);
        }

        installer->progress = c.downloading ? -1.0 : 0.0;
        cell.update (0, &product);
        installer->progress = c.downloading ? 0.0 : -1.0;
        cell.update (0, &product);
        EXPECT_EQ (cell.label.getBounds(), c.label);
    }
}

TEST (Status, BeforeTheFirstUpdateTheCellIsEmpty)
{
    Status cell;
    cell.setSize (150, 70);

    EXPECT_TRUE (cell.label.getText().isEmpty());
    EXPECT_EQ (cell.progressBar, nullptr);
    EXPECT_EQ (cell.getNumChildComponents(), 1);
    EXPECT_EQ (cell.label.getBounds(), juce::Rectangle<int> (0, 0, 120, 70));
}

TEST (Status, UpdateMakesTheRowTheWorkersRowAndANewBarEachTime)
{
    auto installer = makeIdleInstaller();
    FakePlugin product ("Product");
    product.downloadInstaller = installer.get();

    Status cell;
    cell.setSize (150, 70);
    cell.update (3, &product);
    EXPECT_EQ (installer->row, 3);
    auto* firstBar = cell.progressBar.get();

    juce::Component::SafePointer<juce::ProgressBar> watchFirst (firstBar);
    cell.update (5, &product);
    EXPECT_EQ (installer->row, 5);
    EXPECT_TRUE (watchFirst == nullptr);
    EXPECT_NE (cell.progressBar.get(), nullptr);
    EXPECT_EQ (cell.getNumChildComponents(), 2);
    EXPECT_EQ (cell.getIndexOfChildComponent (cell.progressBar.get()), 1);
}

// The bar reads its value through the accessibility handler, which needs a window.
TEST (Status, BarIsBoundToTheWorkersProgressOrToTheIdleValue)
{
    juce::Component window;
    window.setSize (150, 70);
    window.addToDesktop (0);

    auto installer = makeIdleInstaller();
    FakePlugin listed ("Listed");
    listed.downloadInstaller = installer.get();
    FakePlugin member ("Member", updateAvailable);

    Status cell;
    window.addAndMakeVisible (cell);
    cell.setSize (150, 70);

    auto barValue = [&cell]
    {
        auto* handler = cell.progressBar->getAccessibilityHandler();
        return handler != nullptr && handler->getValueInterface() != nullptr
                   ? handler->getValueInterface()->getCurrentValue()
                   : -100.0;
    };

    installer->progress = 0.0;
    cell.update (1, &listed);
    installer->progress = 0.25;
    EXPECT_DOUBLE_EQ (barValue(), 0.25);
    EXPECT_TRUE (cell.progressBar->isVisible());

    cell.update (0, &member);
    EXPECT_DOUBLE_EQ (barValue(), -1.0);
    EXPECT_FALSE (cell.progressBar->isVisible());
    EXPECT_EQ (cell.label.getText(), juce::String ("Update available"));
    EXPECT_EQ (installer->row, 1);
}
