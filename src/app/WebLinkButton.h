#pragma once

#include "app/Common.h"

// A hyperlink button whose click opens its page through Addresses::openInBrowser
// rather than the framework's own launcher.
class WebLinkButton : public juce::HyperlinkButton
{
public:
    WebLinkButton() = default;

protected:
    void clicked() override;
    void clicked (const juce::ModifierKeys& modifiers) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WebLinkButton)
};
