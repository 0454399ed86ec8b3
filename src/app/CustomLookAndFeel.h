#pragma once

#include "app/Common.h"

// The program-wide look and feel: black and dark red, every text in bold,
// and message boxes with our own icons.
class CustomLookAndFeel : public juce::LookAndFeel_V4
{
public:
    CustomLookAndFeel();
    ~CustomLookAndFeel() override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override;

    void drawAlertBox (juce::Graphics& g,
                       juce::AlertWindow& alert,
                       const juce::Rectangle<int>& textArea,
                       juce::TextLayout& textLayout) override;

    // The square the message box's icon is drawn into.
    static juce::Rectangle<float> getAlertIconArea (const juce::AlertWindow& alert,
                                                    const juce::Rectangle<int>& textArea);

private:
    std::unique_ptr<juce::Drawable> alertIcon;
    std::unique_ptr<juce::Drawable> warningIcon;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CustomLookAndFeel)
};
