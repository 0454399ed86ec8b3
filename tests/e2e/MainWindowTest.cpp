#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

namespace
{
struct WindowFixture : public ::testing::Test
{
    void SetUp() override
    {
        window = std::make_unique<VelmoraApplication::MainWindow> (VelmoraApplication::getApp()->getApplicationName());
    }

    void TearDown() override
    {
        window = nullptr;
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    std::unique_ptr<VelmoraApplication::MainWindow> window;
};
} // namespace

TEST_F (WindowFixture, OpensCentredAt1200By628WithItsContentBelowTheTitleBar)
{
    EXPECT_EQ (window->getName(), "Tavoline Audio Velmora");
    EXPECT_TRUE (window->isVisible());
    EXPECT_FALSE (window->isUsingNativeTitleBar());
    EXPECT_EQ (window->getWidth(), 1200);
    EXPECT_EQ (window->getHeight(), 628);

    auto* content = window->getContentComponent();
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getBounds(), juce::Rectangle<int> (1, 27, 1198, 600));

    auto workArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    EXPECT_EQ (window->getBounds().getCentre(), workArea.getCentre());

    EXPECT_NE (window->getMinimiseButton(), nullptr);
    EXPECT_NE (window->getCloseButton(), nullptr);
    EXPECT_EQ (window->getMaximiseButton(), nullptr);
    EXPECT_EQ (&window->getLookAndFeel(), &VelmoraApplication::getAppLookAndFeel());
}

TEST_F (WindowFixture, ResizingStaysWithinTheLimitsAndTheContentFollows)
{
    struct Case
    {
        int width, height, expectedWidth, expectedHeight;
    };

    const Case cases[] = {
        { 500, 300, 800, 600 },
        { 2000, 5000, 1200, 4096 },
        { 1000, 700, 1000, 700 },
        { 800, 600, 800, 600 },
    };

    for (auto& c : cases)
    {
        window->setBoundsConstrained (window->getBounds().withSize (c.width, c.height));
        EXPECT_EQ (window->getWidth(), c.expectedWidth) << c.width << " x " << c.height;
        EXPECT_EQ (window->getHeight(), c.expectedHeight) << c.width << " x " << c.height;

        auto* content = window->getContentComponent();
        EXPECT_EQ (content->getWidth(), c.expectedWidth - 2);
        EXPECT_EQ (content->getHeight(), c.expectedHeight - 28);
    }
}

TEST_F (WindowFixture, TitleBarIsBlackWithAWhiteCaption)
{
    auto image = window->createComponentSnapshot ({ 0, 0, window->getWidth(), 27 }, true, 1.0f);

    int white = 0;
    for (int x = 0; x < image.getWidth(); ++x)
        for (int y = 2; y < 25; ++y)
            if (image.getPixelAt (x, y).getBrightness() > 0.9f)
                ++white;

    EXPECT_EQ (image.getPixelAt (300, 13), juce::Colour (0xff000000));
    EXPECT_GT (white, 50);
}
