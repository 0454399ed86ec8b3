#include "app/VelmoraApplication.h"
#include "app/StoreFileCheck.h"
#include "catalog/CatalogueCheck.h"
#include "platform/PlatformLayer.h"
#include "ui/MainComponent.h"

namespace
{
const juce::String makerName { "Tavoline Audio" };
const juce::String productName { "Velmora" };
} // namespace

const juce::String VelmoraApplication::getApplicationName()
{
    return makerName + " " + productName;
}

const juce::String VelmoraApplication::getApplicationVersion()
{
    return "1.0.10";
}

bool VelmoraApplication::moreThanOneInstanceAllowed()
{
    return false;
}

juce::PropertiesFile::Options VelmoraApplication::makeStoreOptions (const juce::String& applicationName)
{
    juce::PropertiesFile::Options options;
    options.applicationName = applicationName;
    options.filenameSuffix = "settings";
    options.folderName = PlatformLayer::getSettingsFolderName (makerName);
    options.osxLibrarySubFolder = "Application Support";
    options.commonToAllUsers = false;
    options.ignoreCaseOfKeyNames = false;
    options.doNotSave = false;
    options.millisecondsBeforeSaving = 3000;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    return options;
}

void VelmoraApplication::openStoresAndFolders()
{
    auto settingsOptions = makeStoreOptions (productName);
    auto loginOptions = makeStoreOptions ("Vorore Zozavad");
    auto settingsFolder = settingsOptions.getDefaultFile().getParentDirectory();

    // Before either store reads its file: one that cannot be read is kept aside
    // rather than overwritten by the store's first save.
    juce::Array<juce::File> storeFiles;

    for (auto* options : { &settingsOptions, &loginOptions })
    {
        auto outcome = StoreFileCheck::setAsideIfUnreadable (options->getDefaultFile());
        options->doNotSave = outcome.mustNotSave;
        storeFiles.add (options->getDefaultFile());

        if (outcome.copy != juce::File())
            storeFiles.add (outcome.copy);
    }

    // The sign-in store keeps the password in plain text: nobody else may read it.
    settingsArePrivate = PlatformLayer::protectSettings (settingsFolder, storeFiles);

    settings = std::make_unique<juce::ApplicationProperties>();
    settings->setStorageParameters (settingsOptions);

    loginSettings = std::make_unique<juce::ApplicationProperties>();
    loginSettings->setStorageParameters (loginOptions);

    // The store's save parses every value as XML: a stored catalogue that fails
    // the check must not stay for it.
    auto* userSettings = settings->getUserSettings();

    auto storedCatalogue = userSettings->getValue ("xmlAppProducts");

    if (storedCatalogue.isNotEmpty() && ! CatalogueCheck::isSafe (storedCatalogue))
        userSettings->setValue ("xmlAppProducts", juce::String());

    imagesFolder = userSettings->getFile().getParentDirectory().getChildFile (productName + " Images");

    tempFolder = PlatformLayer::createTempFolder (getApplicationName());
}

void VelmoraApplication::warnIfSettingsAreNotPrivate()
{
    if (settingsArePrivate)
        return;

    auto folder = settings->getUserSettings()->getFile().getParentDirectory();
    auto options = juce::MessageBoxOptions()
                       .withIconType (juce::MessageBoxIconType::WarningIcon)
                       .withTitle ("Settings not private")
                       .withMessage ("Other users of this computer may read the settings in " + folder.getFullPathName()
                                     + ", the stored password among them.")
                       .withButton ("OK");

    juce::AlertWindow::showAsync (options, static_cast<juce::ModalComponentManager::Callback*> (nullptr));
}

void VelmoraApplication::initialise (const juce::String&)
{
    openStoresAndFolders();

    if (PlatformLayer::needsRepaintFallback())
        repaintFallback = std::make_unique<RepaintFallback>();

    mainWindow = std::make_unique<MainWindow> (getApplicationName());
    warnIfSettingsAreNotPrivate();
}

void VelmoraApplication::shutdown()
{
    if (tempFolder != juce::File())
        tempFolder.deleteRecursively();

    mainWindow = nullptr;
    repaintFallback = nullptr;

    // A download that completed while the window closed may have unpacked into the
    // folder again before its worker ended.
    if (tempFolder != juce::File() && tempFolder.exists())
        tempFolder.deleteRecursively();

    loginSettings = nullptr;
    settings = nullptr;
}

void VelmoraApplication::anotherInstanceStarted (const juce::String&)
{
}

void VelmoraApplication::systemRequestedQuit()
{
    quit();
}

VelmoraApplication* VelmoraApplication::getApp()
{
    return static_cast<VelmoraApplication*> (juce::JUCEApplication::getInstance());
}

CustomLookAndFeel& VelmoraApplication::getAppLookAndFeel()
{
    return getApp()->lookAndFeel;
}

juce::ApplicationProperties* VelmoraApplication::getLoginSettings()
{
    return getApp()->loginSettings.get();
}

juce::ApplicationProperties* VelmoraApplication::getSettings()
{
    return getApp()->settings.get();
}

juce::File VelmoraApplication::getImagesFolder()
{
    return getApp()->imagesFolder;
}

juce::File VelmoraApplication::getTempFolder()
{
    return getApp()->tempFolder;
}

//==============================================================================
VelmoraApplication::MainWindow::MainWindow (juce::String name)
    : DocumentWindow (name,
                      juce::Colour (0xff000000),
                      DocumentWindow::minimiseButton | DocumentWindow::closeButton,
                      true)
{
    juce::LookAndFeel::setDefaultLookAndFeel (&getAppLookAndFeel());
    setUsingNativeTitleBar (false);
    setContentOwned (new MainComponent(), true);
    setResizable (true, true);
    setResizeLimits (800, 600, 1200, 4096);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

void VelmoraApplication::MainWindow::closeButtonPressed()
{
    juce::JUCEApplication::getInstance()->systemRequestedQuit();
}
