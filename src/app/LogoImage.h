#pragma once

#include "app/Common.h"

// The maker's logo; a double-click opens the maker's web site.
class LogoImage : public juce::Component
{
public:
    LogoImage();
    ~LogoImage() override;

    void mouseDoubleClick (const juce::MouseEvent& event) override;
    void paint (juce::Graphics& g) override;

private:
    std::unique_ptr<juce::Drawable> logo;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LogoImage)
};
