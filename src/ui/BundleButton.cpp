#include "ui/BundleButton.h"

BundleButton::BundleButton (const juce::String& name)
    : ListBaseButton (name)
{
}

BundleButton::~BundleButton() = default;
