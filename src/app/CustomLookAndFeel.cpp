#include "app/CustomLookAndFeel.h"

CustomLookAndFeel::CustomLookAndFeel()
{
    alertIcon = juce::Drawable::createFromImageData (BinaryData::alert_icon_svg, BinaryData::alert_icon_svgSize);
    warningIcon = juce::Drawable::createFromImageData (BinaryData::warning_icon_svg, BinaryData::warning_icon_svgSize);

    // The scheme is changed in place; the colour ids keep what the dark scheme gave them.
    auto& scheme = getCurrentColourScheme();
    const juce::Colour yellow { juce::Colours::yellow };
    scheme.setUIColour (ColourScheme::windowBackground, yellow);
    scheme.setUIColour (ColourScheme::widgetBackground, baseColour);
    scheme.setUIColour (ColourScheme::menuBackground, yellow);
    scheme.setUIColour (ColourScheme::outline, yellow);
    scheme.setUIColour (ColourScheme::defaultText, yellow);
    scheme.setUIColour (ColourScheme::defaultFill, yellow);
    scheme.setUIColour (ColourScheme::highlightedText, yellow);
    scheme.setUIColour (ColourScheme::highlightedFill, yellow);
    scheme.setUIColour (ColourScheme::menuText, yellow);

    setColour (juce::TextEditor::backgroundColourId, juce::Colours::white);
    setColour (juce::TextEditor::outlineColourId, juce::Colours::grey);
    setColour (juce::TextEditor::textColourId, baseColour);
    setColour (juce::TextEditor::highlightedTextColourId, juce::Colours::green);
    setColour (juce::HyperlinkButton::textColourId, juce::Colours::white);
    setColour (juce::BubbleComponent::backgroundColourId, juce::Colours::lightgrey);
    setColour (juce::BubbleComponent::outlineColourId, juce::Colours::lightgrey);
    setColour (juce::ComboBox::outlineColourId, juce::Colours::darkred);
    setColour (juce::TextButton::buttonColourId, juce::Colours::darkred);
    setColour (juce::TextButton::buttonOnColourId, juce::Colours::darkred.withBrightness (1.0f));
    setColour (juce::TextButton::textColourOffId, juce::Colours::white);
    setColour (juce::TextButton::textColourOnId, juce::Colours::white);
    setColour (juce::ListBox::backgroundColourId, baseColour);
    setColour (juce::ListBox::outlineColourId, juce::Colours::lightgrey);
    setColour (juce::ListBox::textColourId, juce::Colours::white);
    setColour (juce::AlertWindow::backgroundColourId, baseColour);
    setColour (juce::AlertWindow::outlineColourId, juce::Colours::lightgrey);
    setColour (juce::AlertWindow::textColourId, juce::Colours::white);
    setColour (juce::ScrollBar::thumbColourId, juce::Colours::lightgrey);
    setColour (juce::PopupMenu::backgroundColourId, baseColour);
    setColour (juce::PopupMenu::textColourId, juce::Colours::white);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, juce::Colours::darkred);
    setColour (juce::PopupMenu::highlightedTextColourId, baseColour.withBrightness (1.0f));
    setColour (juce::ProgressBar::backgroundColourId, juce::Colours::grey);
    setColour (juce::ProgressBar::foregroundColourId, juce::Colours::darkgreen);
}

CustomLookAndFeel::~CustomLookAndFeel()
{
    warningIcon = nullptr;
    alertIcon = nullptr;
}

juce::Typeface::Ptr CustomLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    auto boldFont = font;
    boldFont.setStyleFlags (juce::Font::bold);
    return juce::Font::getDefaultTypefaceForFont (boldFont);
}

juce::Rectangle<float> CustomLookAndFeel::getAlertIconArea (const juce::AlertWindow& alert,
                                                            const juce::Rectangle<int>& textArea)
{
    auto size = juce::jmin ((float) alert.getHeight() + 20.0f, 100.0f);

    if (alert.containsAnyExtraComponents() || alert.getNumButtons() > 2)
        size = juce::jmin ((float) textArea.getHeight() + 50.0f, size);

    return { 20.0f, 20.0f, size, size };
}

void CustomLookAndFeel::drawAlertBox (juce::Graphics& g,
                                      juce::AlertWindow& alert,
                                      const juce::Rectangle<int>& textArea,
                                      juce::TextLayout& textLayout)
{
    g.fillAll (alert.findColour (juce::AlertWindow::backgroundColourId));

    auto inset = 0;

    if (alert.getAlertType() != juce::MessageBoxIconType::NoIcon)
    {
        auto* icon = alert.getAlertType() == juce::MessageBoxIconType::WarningIcon ? warningIcon.get()
                                                                                   : alertIcon.get();

        if (icon != nullptr)
            icon->drawWithin (g, getAlertIconArea (alert, textArea), juce::RectanglePlacement::centred, 1.0f);

        inset = 120;
    }

    g.setColour (alert.findColour (juce::AlertWindow::textColourId));
    textLayout.draw (g, juce::Rectangle<int> (textArea.getX() + inset, textArea.getY() + 30, juce::jmax (0, textArea.getWidth() - 2 * inset), juce::jmax (0, textArea.getHeight())).toFloat());

    g.setColour (alert.findColour (juce::AlertWindow::outlineColourId));
    g.drawRect (0, 0, alert.getWidth(), alert.getHeight(), 1);
}
