#pragma once

#include "app/Common.h"

// A text button that remembers the table row it belongs to.
class ListBaseButton : public juce::TextButton
{
public:
    explicit ListBaseButton (const juce::String& name);
    ~ListBaseButton() override;

    int row = -1;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ListBaseButton)
};
