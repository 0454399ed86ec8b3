#include "downloads/DownloadResource.h"
#include "products/ProductsTestSupport.h"

namespace
{
struct OverlayCase
{
    int width;
    int height;
    juce::Rectangle<int> caption;
    juce::Rectangle<int> bar;
};

bool isBlack (juce::Colour colour)
{
    return colour.getARGB() == 0xff000000;
}

bool hasNonBlackPixel (const juce::Image& image, juce::Rectangle<int> area)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (! isBlack (image.getPixelAt (x, y)))
                return true;

    return false;
}

TEST (ResourceOverlayTest, CentresCaptionAndBarOnABlackArea)
{
    const std::vector<OverlayCase> cases {
        { 1200, 600, { 500, 205, 200, 50 }, { 400, 288, 400, 25 } },
        { 1201, 600, { 500, 205, 200, 50 }, { 400, 288, 400, 25 } },
        { 1201, 601, { 500, 205, 200, 50 }, { 400, 288, 400, 25 } },
        { 800, 400, { 300, 105, 200, 50 }, { 200, 188, 400, 25 } },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height));

        DownloadResource overlay;
        overlay.setBounds (0, 0, c.width, c.height);

        EXPECT_EQ (overlay.captionImage.getBounds(), c.caption);
        ASSERT_NE (overlay.progressBar, nullptr);
        EXPECT_EQ (overlay.progressBar->getBounds(), c.bar);
        EXPECT_TRUE (overlay.captionImage.isVisible());
        EXPECT_TRUE (overlay.progressBar->isVisible());

        // Black everywhere but where the caption and the bar draw.
        auto image = TestSupport::paintToImage (overlay);
        auto outsideBlack = true;

        for (int y = 0; y < c.height && outsideBlack; y += 3)
            for (int x = 0; x < c.width; x += 3)
                if (! c.caption.contains (x, y) && ! c.bar.contains (x, y) && ! isBlack (image.getPixelAt (x, y)))
                {
                    outsideBlack = false;
                    ADD_FAILURE() << "pixel at " << x << ", " << y << " is not black";
                    break;
                }

        EXPECT_TRUE (hasNonBlackPixel (image, c.caption)) << "caption picture not drawn";
        EXPECT_TRUE (hasNonBlackPixel (image, c.bar)) << "progress bar not drawn";
    }
}

TEST (ResourceOverlayTest, StartsIdleWithTheBusyBar)
{
    DownloadResource overlay;

    EXPECT_EQ (overlay.getThreadName(), "Download Resources");
    EXPECT_FALSE (overlay.isThreadRunning());
    EXPECT_EQ (overlay.progress, -1.0);
    EXPECT_EQ (overlay.result, 0);
    EXPECT_EQ (overlay.progressBar->getParentComponent(), &overlay);
    EXPECT_EQ (overlay.captionImage.getParentComponent(), &overlay);
    EXPECT_LT (overlay.getIndexOfChildComponent (&overlay.captionImage),
               overlay.getIndexOfChildComponent (overlay.progressBar.get()));
}
} // namespace
