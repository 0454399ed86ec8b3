#pragma once

#include "app/Common.h"
#include "app/LogoImage.h"

// The bar across the top of the window: the settings button, the signed-in
// address and the logo. "Log Out" in the settings menu sends a change message.
class AppToolbar : public juce::Component,
                   public juce::Button::Listener,
                   public juce::ChangeBroadcaster
{
public:
    AppToolbar();
    ~AppToolbar() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    // Shows the e-mail address kept in the sign-in store.
    void updateMailLabel();

    // The settings menu, built anew for every showing.
    juce::PopupMenu createSettingsMenu();

    // The menu's actions, and the completions of the two folder choosers,
    // given the chooser's result (an empty URL when it was cancelled).
    void chooseVst3Folder();
    void chooseAppFolder();
    void vst3FolderChosen (const juce::URL& result);
    void appFolderChosen (const juce::URL& result);
    static void openDownloadPage();
    void requestLogOut();

private:
    void buttonClicked (juce::Button* button) override;

    void launchFolderChooser (const juce::String& title,
                              const juce::String& key,
                              const juce::String& defaultFolder,
                              void (AppToolbar::*completion) (const juce::URL&));
    static void storeChosenFolder (const juce::String& key, const juce::URL& result);

    juce::DrawableButton settingsButton { "SETTINGS", juce::DrawableButton::ImageOnButtonBackground };
    std::unique_ptr<juce::Drawable> settingsIcon;
    juce::Label mailLabel;
    LogoImage logo;
    std::unique_ptr<juce::FileChooser> folderChooser;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AppToolbar)
};
