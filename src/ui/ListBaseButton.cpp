#include "ui/ListBaseButton.h"

ListBaseButton::ListBaseButton (const juce::String& name)
    : juce::TextButton (name)
{
}

ListBaseButton::~ListBaseButton() = default;
