#pragma once

#include "app/Common.h"

// The settings menu's item that switches the automatic start of downloaded
// installers on or off. A click changes the toggle and keeps the menu open.
struct CheckAutoInstallerLaunch : public juce::PopupMenu::CustomComponent,
                                  public juce::Button::Listener
{
    CheckAutoInstallerLaunch (int idealWidthToUse, int idealHeightToUse);
    ~CheckAutoInstallerLaunch() override;

    void resized() override;
    void getIdealSize (int& width, int& height) override;

    void buttonClicked (juce::Button* button) override;

    int idealWidth;
    int idealHeight;
    juce::ToggleButton toggle { "Installer Auto Launch" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CheckAutoInstallerLaunch)
};
