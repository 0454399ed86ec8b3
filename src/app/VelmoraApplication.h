#pragma once

#include "app/Common.h"
#include "app/CustomLookAndFeel.h"
#include "platform/RepaintFallback.h"

class VelmoraApplication : public juce::JUCEApplication
{
public:
    VelmoraApplication() = default;
    ~VelmoraApplication() override = default;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;
    void systemRequestedQuit() override;

    // The first steps of start-up: the two stores and the two folders.
    void openStoresAndFolders();

    // The warning box, shown when the settings folder or a store's file could not
    // be made private to the user.
    void warnIfSettingsAreNotPrivate();
    bool areSettingsPrivate() const { return settingsArePrivate; }

    static VelmoraApplication* getApp();
    static CustomLookAndFeel& getAppLookAndFeel();
    static juce::ApplicationProperties* getLoginSettings();
    static juce::ApplicationProperties* getSettings();
    static juce::File getImagesFolder();
    static juce::File getTempFolder();

    static juce::PropertiesFile::Options makeStoreOptions (const juce::String& applicationName);

    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (juce::String name);

        void closeButtonPressed() override;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

private:
    std::unique_ptr<juce::ApplicationProperties> loginSettings;
    std::unique_ptr<juce::ApplicationProperties> settings;
    juce::File imagesFolder;
    juce::File tempFolder;
    CustomLookAndFeel lookAndFeel;
    std::unique_ptr<RepaintFallback> repaintFallback;
    std::unique_ptr<MainWindow> mainWindow;
    bool settingsArePrivate = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VelmoraApplication)
};
