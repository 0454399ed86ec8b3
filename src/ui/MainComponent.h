#pragma once

#include "app/Common.h"

// The whole content of the main window.
class MainComponent : public juce::Component
{
public:
    MainComponent();
    ~MainComponent() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
