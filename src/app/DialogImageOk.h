#pragma once

#include "app/DrawImage.h"

// A picture notice with an "OK" button, shown by launchDialog.
class DialogImageOk : public juce::Component,
                      public juce::Button::Listener
{
public:
    explicit DialogImageOk (juce::Image picture);
    ~DialogImageOk() override;

    void resized() override;
    void buttonClicked (juce::Button* button) override;

    DrawImage image;
    juce::TextButton okButton;
    juce::DialogWindow* dialogWindow = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DialogImageOk)
};

// Shows the content in a modal dialog window, which does not own it, and returns at once.
void launchDialog (DialogImageOk* content, juce::String title);
