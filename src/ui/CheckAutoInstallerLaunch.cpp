#include "ui/CheckAutoInstallerLaunch.h"
#include "app/VelmoraApplication.h"

CheckAutoInstallerLaunch::CheckAutoInstallerLaunch (int idealWidthToUse, int idealHeightToUse)
    : juce::PopupMenu::CustomComponent (false), idealWidth (idealWidthToUse), idealHeight (idealHeightToUse)
{
    auto* settings = VelmoraApplication::getSettings()->getUserSettings();
    toggle.setToggleState (settings->getBoolValue ("installerAutoLaunch", true), juce::dontSendNotification);

    addAndMakeVisible (toggle);
    toggle.addListener (this);
}

CheckAutoInstallerLaunch::~CheckAutoInstallerLaunch()
{
    toggle.removeListener (this);
}

void CheckAutoInstallerLaunch::resized()
{
    toggle.setBounds (0, 0, getWidth(), getHeight());
}

void CheckAutoInstallerLaunch::getIdealSize (int& width, int& height)
{
    width = idealWidth;
    height = idealHeight;
}

void CheckAutoInstallerLaunch::buttonClicked (juce::Button* button)
{
    VelmoraApplication::getSettings()->getUserSettings()->setValue ("installerAutoLaunch", button->getToggleState());
}
