#include "ui/AppToolbar.h"
#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "platform/PlatformLayer.h"
#include "ui/CheckAutoInstallerLaunch.h"

namespace
{
const juce::String vst3PathKey { "vst3Path" };
const juce::String exePathKey { "exePath" };
const juce::String defaultVst3Folder { "C:/Program Files/Common Files/VST3" };
const juce::String defaultAppFolder { "C:/Program Files/Tavoline Audio" };

juce::PropertiesFile* getProductSettings()
{
    return VelmoraApplication::getSettings()->getUserSettings();
}
} // namespace

AppToolbar::AppToolbar()
{
    settingsIcon = juce::Drawable::createFromImageData (BinaryData::settings_gear_svg,
                                                        BinaryData::settings_gear_svgSize);
    settingsButton.setImages (settingsIcon.get());

    settingsButton.setColour (juce::TextButton::buttonColourId, baseColour);
    settingsButton.setColour (juce::TextButton::buttonOnColourId,
                              baseColour.withBrightness (1.0f).withAlpha (baseColour.getAlpha()));
    settingsButton.setColour (juce::ComboBox::outlineColourId, baseColour);
    settingsButton.addListener (this);

    mailLabel.setJustificationType (juce::Justification::centredLeft);
    updateMailLabel();

    addAndMakeVisible (settingsButton);
    addAndMakeVisible (mailLabel);
    addAndMakeVisible (logo);
}

AppToolbar::~AppToolbar()
{
    folderChooser = nullptr;
    settingsButton.removeListener (this);
}

void AppToolbar::paint (juce::Graphics& g)
{
    g.fillAll (baseColour);
}

void AppToolbar::resized()
{
    auto side = juce::jmax (0, getHeight() - 16);

    settingsButton.setBounds (8, 8, side, side);
    mailLabel.setBounds (settingsButton.getRight(), 0, 200, getHeight());
    logo.setBounds (getWidth() - 158, 0, 150, getHeight());
}

void AppToolbar::updateMailLabel()
{
    auto mail = VelmoraApplication::getLoginSettings()->getUserSettings()->getValue (loginMail, {});
    mailLabel.setText (mail, juce::dontSendNotification);
}

juce::PopupMenu AppToolbar::createSettingsMenu()
{
    juce::PopupMenu menu;

    menu.addItem ("VST3 Installation Folder", [this]
                  { chooseVst3Folder(); });
    menu.addItem ("App Installation Folder", [this]
                  { chooseAppFolder(); });
    menu.addSeparator();
    menu.addCustomItem (-1, std::make_unique<CheckAutoInstallerLaunch> (100, 20), nullptr, {});
    menu.addSeparator();
    menu.addSectionHeader ("Version " + VelmoraApplication::getApp()->getApplicationVersion());
    menu.addItem ("Velmora Download Page", []
                  { openDownloadPage(); });
    menu.addSeparator();
    menu.addItem ("Log Out", [this]
                  { requestLogOut(); });

    return menu;
}

void AppToolbar::buttonClicked (juce::Button*)
{
    createSettingsMenu().showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&settingsButton));
}

void AppToolbar::chooseVst3Folder()
{
    launchFolderChooser ("VST3 Installation Folder", vst3PathKey, defaultVst3Folder, &AppToolbar::vst3FolderChosen);
}

void AppToolbar::chooseAppFolder()
{
    launchFolderChooser ("App Installation Folder", exePathKey, defaultAppFolder, &AppToolbar::appFolderChosen);
}

void AppToolbar::vst3FolderChosen (const juce::URL& result)
{
    storeChosenFolder (vst3PathKey, result);
}

void AppToolbar::appFolderChosen (const juce::URL& result)
{
    storeChosenFolder (exePathKey, result);
}

void AppToolbar::openDownloadPage()
{
    Addresses::openInBrowser (Addresses::getDownloadPage());
}

void AppToolbar::requestLogOut()
{
    sendChangeMessage();
}

void AppToolbar::launchFolderChooser (const juce::String& title,
                                      const juce::String& key,
                                      const juce::String& defaultFolder,
                                      void (AppToolbar::*completion) (const juce::URL&))
{
    auto start = getProductSettings()->getValue (key, defaultFolder);

    // The new chooser is in place before the previous one goes.
    folderChooser = std::make_unique<juce::FileChooser> (title, PlatformLayer::fileFromPath (start), "*");

    folderChooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectDirectories,
                                [this, completion] (const juce::FileChooser& chooser)
                                {
                                    (this->*completion) (chooser.getURLResult());
                                });
}

void AppToolbar::storeChosenFolder (const juce::String& key, const juce::URL& result)
{
    auto path = result.isLocalFile() ? result.getLocalFile().getFullPathName()
                                     : result.toString (true);

    if (path.isNotEmpty())
        getProductSettings()->setValue (key, path);
}
