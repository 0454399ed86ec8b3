#pragma once

#include "ui/ListBaseButton.h"

// The VIEW BUNDLE button of a bundle row.
class BundleButton : public ListBaseButton
{
public:
    explicit BundleButton (const juce::String& name);
    ~BundleButton() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BundleButton)
};
