#pragma once

#include "app/Common.h"

// A picture on black that opens its link, when it has one, on a press.
class DrawImage : public juce::Component
{
public:
    explicit DrawImage (juce::Image picture);
    ~DrawImage() override;

    void mouseEnter (const juce::MouseEvent& event) override;
    void mouseExit (const juce::MouseEvent& event) override;
    void mouseDown (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

    juce::URL link;

private:
    juce::Image image;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DrawImage)
};
