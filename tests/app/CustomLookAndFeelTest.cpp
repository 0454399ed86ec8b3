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
                           juce::Rectangle<int> textArea,
                           bool withTextEditor = false)
{
    juce::AlertWindow alert ("Title", "Message", icon);
    alert.setLookAndFeel (&lookAndFeel);

    for (int i = 0; i < numButtons; ++i)
        alert.addButton ("B" + juce::String (i), i);

    if (withTextEditor)
        alert.addTextEditor ("answer", "text");

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
        bool withTextEditor = false;
    };

    const Case cases[] = {
        { 60, 2, 20, 80 },
        { 200, 2, 100, 100 },
        { 200, 3, 30, 80 },
        { 200, 3, 200, 100 },
        { 200, 2, 30, 100 },
        { 200, 2, 30, 80, true }, // an extra component counts like a third button
        { 200, 1, 60, 100, true },
    };

    CustomLookAndFeel lookAndFeel;

    for (auto& c : cases)
    {
        auto image = paintAlertBox (lookAndFeel, juce::MessageBoxIconType::WarningIcon, c.height, c.numButtons, { 0, 0, 400, c.textAreaHeight }, c.withTextEditor);
        auto columns = findIconColumns (image);
        EXPECT_NEAR (columns.getStart() + columns.getLength() / 2, 20 + c.expectedSize / 2, 1) << c.height << "/" << c.numButtons << "/" << c.withTextEditor;

        // Where the box is tall enough, the whole square shows.
        if (c.height >= 20 + c.expectedSize)
        {
            EXPECT_NEAR (columns.getLength(), c.expectedSize, 1) << c.height << "/" << c.numButtons << "/" << c.withTextEditor;
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

TEST (CustomLookAndFeel, EveryColourIdHoldsItsColour)
{
    struct Case
    {
        const char* name;
        int id;
        juce::uint32 argb;
    };

    const Case cases[] = {
        { "TextEditor background", juce::TextEditor::backgroundColourId, 0xffffffff },
        { "TextEditor outline", juce::TextEditor::outlineColourId, 0xff808080 },
        { "TextEditor text", juce::TextEditor::textColourId, 0xff000000 },
        { "TextEditor highlighted text", juce::TextEditor::highlightedTextColourId, 0xff008000 },
        { "HyperlinkButton text", juce::HyperlinkButton::textColourId, 0xffffffff },
        { "BubbleComponent background", juce::BubbleComponent::backgroundColourId, 0xffd3d3d3 },
        { "BubbleComponent outline", juce::BubbleComponent::outlineColourId, 0xffd3d3d3 },
        { "ComboBox outline", juce::ComboBox::outlineColourId, 0xff8b0000 },
        { "TextButton button", juce::TextButton::buttonColourId, 0xff8b0000 },
        { "TextButton button on", juce::TextButton::buttonOnColourId, 0xffff0000 },
        { "TextButton text off", juce::TextButton::textColourOffId, 0xffffffff },
        { "TextButton text on", juce::TextButton::textColourOnId, 0xffffffff },
        { "ListBox background", juce::ListBox::backgroundColourId, 0xff000000 },
        { "ListBox outline", juce::ListBox::outlineColourId, 0xffd3d3d3 },
        { "ListBox text", juce::ListBox::textColourId, 0xffffffff },
        { "AlertWindow background", juce::AlertWindow::backgroundColourId, 0xff000000 },
        { "AlertWindow outline", juce::AlertWindow::outlineColourId, 0xffd3d3d3 },
        { "AlertWindow text", juce::AlertWindow::textColourId, 0xffffffff },
        { "ScrollBar thumb", juce::ScrollBar::thumbColourId, 0xffd3d3d3 },
        { "PopupMenu background", juce::PopupMenu::backgroundColourId, 0xff000000 },
        { "PopupMenu text", juce::PopupMenu::textColourId, 0xffffffff },
        { "PopupMenu highlighted background", juce::PopupMenu::highlightedBackgroundColourId, 0xff8b0000 },
        { "PopupMenu highlighted text", juce::PopupMenu::highlightedTextColourId, 0xffffffff },
        { "ProgressBar background", juce::ProgressBar::backgroundColourId, 0xff808080 },
        { "ProgressBar foreground", juce::ProgressBar::foregroundColourId, 0xff006400 },
    };

    CustomLookAndFeel lookAndFeel;

    for (auto& c : cases)
    {
        EXPECT_TRUE (lookAndFeel.isColourSpecified (c.id)) << c.name;
        EXPECT_EQ (lookAndFeel.findColour (c.id).getARGB(), c.argb) << c.name;
    }
}

TEST (CustomLookAndFeel, AlertTextMovesDownAndLosesTheIconsWidthOnBothSides)
{
    struct Case
    {
        const char* name;
        juce::MessageBoxIconType icon;
        juce::Justification justification;
        juce::Rectangle<int> textArea;
        juce::Rectangle<float> expected;
    };

    using Icon = juce::MessageBoxIconType;
    const auto left = juce::Justification::topLeft, right = juce::Justification::topRight, centred = juce::Justification::centredTop;

    const Case cases[] = {
        { "no icon, left", Icon::NoIcon, left, { 150, 40, 400, 60 }, { 150, 70, 400, 60 } },
        { "no icon, right", Icon::NoIcon, right, { 150, 40, 400, 60 }, { 150, 70, 400, 60 } },
        { "warning, left", Icon::WarningIcon, left, { 150, 40, 400, 60 }, { 270, 70, 160, 60 } },
        { "warning, right", Icon::WarningIcon, right, { 150, 40, 400, 60 }, { 270, 70, 160, 60 } },
        { "information, centred", Icon::InfoIcon, centred, { 150, 40, 330, 60 }, { 270, 70, 90, 60 } },
        { "question, right, too narrow", Icon::QuestionIcon, right, { 150, 40, 200, 60 }, { 270, 70, 0, 60 } },
    };

    CustomLookAndFeel lookAndFeel;

    for (auto& c : cases)
    {
        juce::AttributedString text;
        text.append ("Message text", juce::Font (15.0f), juce::Colours::white);
        text.setJustification (c.justification);
        juce::TextLayout layout;
        layout.createLayout (text, 100.0f);

        juce::AlertWindow alert ("Title", "Message text", c.icon);
        alert.setLookAndFeel (&lookAndFeel);
        alert.setSize (600, 200);

        juce::Image painted (juce::Image::ARGB, 600, 200, true);
        {
            juce::Graphics g (painted);
            lookAndFeel.drawAlertBox (g, alert, c.textArea, layout);
        }
        alert.setLookAndFeel (nullptr);

        // The same text drawn alone where it belongs.
        juce::Image expected (juce::Image::ARGB, 600, 200, true);
        {
            juce::Graphics g (expected);
            g.fillAll (juce::Colours::black);
            layout.draw (g, c.expected);
        }

        // Right of the icon and inside the outline, the two agree pixel for pixel.
        int differing = 0, textPixels = 0;

        for (int y = 1; y < 199; ++y)
            for (int x = 125; x < 599; ++x)
            {
                if (painted.getPixelAt (x, y) != expected.getPixelAt (x, y))
                    ++differing;

                if (expected.getPixelAt (x, y).getBrightness() > 0.5f)
                    ++textPixels;
            }

        EXPECT_GT (textPixels, 50) << c.name;
        EXPECT_EQ (differing, 0) << c.name;
    }
}
