#include "app/CustomLookAndFeel.h"
#include "support/TestSupport.h"

namespace
{
// The horizontal extent of the icon's pixels, left of where the text may start.
juce::Range<int> findIconColumns (const juce::Image& image)
{
    int first = -1, last = -1;

    for (int x = 1; x < juce::jmin (image.getWidth() - 1, 140); ++x)
        for (int y = 1; y < image.getHeight() - 1; ++y)
            if (image.getPixelAt (x, y) != juce::Colour (0xff000000))
            {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }

    if (first < 0)
        return {};

    return { first, last + 1 };
}

juce::Image paintAlertBox (CustomLookAndFeel& lookAndFeel,
                           juce::MessageBoxIconType icon,
                           int height,
                           int numButtons,
                           juce::Rectangle<int> textArea)
{
    juce::AlertWindow alert ("Title", "Message", icon);
    alert.setLookAndFeel (&lookAndFeel);

    for (int i = 0; i < numButtons; ++i)
        alert.addButton ("B" + juce::String (i), i);

    alert.setSize (400, height);

    juce::Image image (juce::Image::ARGB, alert.getWidth(), alert.getHeight(), true);
    juce::Graphics g (image);
    juce::TextLayout layout;
    lookAndFeel.drawAlertBox (g, alert, textArea, layout);
    alert.setLookAndFeel (nullptr);
    return image;
}
} // namespace

TEST (CustomLookAndFeel, ColoursWorkedOutAtRunTimeAndTheSchemeLeftInPlace)
{
    CustomLookAndFeel lookAndFeel;

    EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonOnColourId), juce::Colour (0xffff0000));
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedTextColourId), juce::Colour (0xffffffff));
    EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonColourId), juce::Colour (0xff8b0000));
    EXPECT_EQ (lookAndFeel.findColour (juce::ProgressBar::foregroundColourId), juce::Colour (0xff006400));

    // Colour ids the constructor does not set keep what the dark scheme gave them.
    EXPECT_EQ (lookAndFeel.findColour (juce::Label::textColourId), juce::Colours::white);
    EXPECT_EQ (lookAndFeel.findColour (juce::TextEditor::focusedOutlineColourId), juce::Colour (0xff8e989b));

    using Scheme = juce::LookAndFeel_V4::ColourScheme;
    auto& scheme = lookAndFeel.getCurrentColourScheme();

    for (int i = 0; i < Scheme::numColours; ++i)
    {
        auto colour = scheme.getUIColour ((Scheme::UIColour) i);
        EXPECT_EQ (colour, i == Scheme::widgetBackground ? juce::Colour (0xff000000) : juce::Colour (0xffffff00)) << i;
    }
}

TEST (CustomLookAndFeel, EveryFontIsTheUprightBoldFaceOfItsFamily)
{
    CustomLookAndFeel lookAndFeel;

    const int styles[] = { juce::Font::plain, juce::Font::italic, juce::Font::bold | juce::Font::italic | juce::Font::underlined };

    for (auto flags : styles)
    {
        juce::Font font (15.0f, flags);
        auto typeface = lookAndFeel.getTypefaceForFont (font);
        ASSERT_NE (typeface, nullptr);
        EXPECT_TRUE (typeface->getStyle().containsIgnoreCase ("bold")) << typeface->getStyle();
        EXPECT_FALSE (typeface->getStyle().containsIgnoreCase ("italic")) << typeface->getStyle();
        EXPECT_FALSE (typeface->getStyle().containsIgnoreCase ("oblique")) << typeface->getStyle();
    }
}

TEST (CustomLookAndFeel, AlertBoxIconSquareFollowsTheBoxAndItsButtons)
{
    struct Case
    {
        int height, numButtons, textAreaHeight, expectedSize;
    };

    const Case cases[] = {
        { 60, 2, 20, 80 },
        { 200, 2, 100, 100 },
        { 200, 3, 30, 80 },
        { 200, 3, 200, 100 },
    };

    CustomLookAndFeel lookAndFeel;

    for (auto& c : cases)
    {
            auto image = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::WarningIcon, c.height, c.numButtons, { 0, 0, 400, c.textAreaHeight });
        auto columns = findIconColumns (image);
        EXPECT_NEAR (columns.getStart() + columns.getLength() / 2, 20 + c.expectedSize / 2, 1) << c.height << "/" << c.numButtons;

        // Where the box is tall enough, the whole square shows.
        if (c.height >= 20 + c.expectedSize)
        {
            EXPECT_NEAR (columns.getLength(), c.expectedSize, 1) << c.height << "/" << c.numButtons;
        }
    }
}

TEST (CustomLookAndFeel, AlertBoxWithoutIconDrawsOnlyBackgroundTextAndOutline)
{
    CustomLookAndFeel lookAndFeel;
    auto image = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::NoIcon, 200, 1, { 0, 0, 400, 100 });

    EXPECT_TRUE (findIconColumns (image).isEmpty());
    EXPECT_EQ (image.getPixelAt (0, 100), juce::Colour (0xffd3d3d3));
    EXPECT_EQ (image.getPixelAt (399, 100), juce::Colour (0xffd3d3d3));
    EXPECT_EQ (image.getPixelAt (200, 0), juce::Colour (0xffd3d3d3));
    EXPECT_EQ (image.getPixelAt (200, 100), juce::Colour (0xff000000));
}

TEST (CustomLookAndFeel, QuestionAndInfoBoxesShareTheAlertIconAndWarningHasItsOwn)
{
    CustomLookAndFeel lookAndFeel;
    auto question = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::QuestionIcon, 200, 2, { 0, 0, 400, 100 });
    auto info = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::InfoIcon, 200, 2, { 0, 0, 400, 100 });
    auto warning = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::WarningIcon, 200, 2, { 0, 0, 400, 100 });

    auto differs = [] (const juce::Image& a, const juce::Image& b)
    {
        for (int y = 20; y < 120; ++y)
            for (int x = 20; x < 120; ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return true;
        return false;
    };

    EXPECT_FALSE (differs (question, info));
    EXPECT_TRUE (differs (question, warning));
}
