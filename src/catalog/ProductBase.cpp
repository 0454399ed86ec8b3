#include "catalog/ProductBase.h"
#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/VersionHelpers.h"
#include "downloads/DownloadInstaller.h"

bool ProductBase::refreshInstalledVersion()
{
    auto path = getInstallPath();

    if (! path.exists())
        return false;

    auto fileVersion = readFileVersion (path);

    if (fileVersion.isEmpty() || fileVersion == installedVersion)
        return false;

    installedVersion = fileVersion;
    return true;
}

bool ProductBase::checkInstalled()
{
    auto path = getInstallPath();
    auto present = path.exists();

    if (present == installed)
        return false;

    installed = present;
    installedVersion = present ? readFileVersion (path) : version;
    return true;
}

bool ProductBase::isUpdateAvailable()
{
    return compareVersions (installedVersion, version) == -1;
}

int ProductBase::getStatus()
{
    if (downloadInstaller != nullptr && downloadInstaller->progress > -1.0)
        return downloading;

    if (! installed)
        return notInstalled;

    return isUpdateAvailable() ? updateAvailable : latestVersion;
}

juce::URL ProductBase::getDownloadUrl()
{
    return Addresses::getStorageEndpoint()
        .getChildURL (folder)
        .getChildURL (name.replaceCharacter (' ', '_') + "_Win.zip");
}

void ProductBase::readCommonAttributes (juce::XmlElement& element, const juce::String& installFileAttribute)
{
    name = element.getStringAttribute ("name");
    nameView = element.getStringAttribute ("nameView");
    category = element.getStringAttribute ("category");
    version = element.getStringAttribute ("version");

    if (installFileAttribute == "file")
        file = element.getStringAttribute ("file", name);
    else
        file = element.getStringAttribute (installFileAttribute);

    folder = element.getStringAttribute ("folder");
    isNoBundleAvailable = element.getBoolAttribute ("isNoBundleAvailable", false);
    productPage = element.getStringAttribute ("pruductPage");

    checkInstalled();
    refreshInstalledVersion();

    if (! installed)
        installedVersion = version;

    auto thumbnailFile = VelmoraApplication::getImagesFolder().getChildFile (name).withFileExtension ("jpg");

    if (thumbnailFile.existsAsFile())
        thumbnail = juce::ImageFileFormat::loadFrom (thumbnailFile);
}

juce::String ProductBase::getSetting (const juce::String& key, const juce::String& defaultValue)
{
    return VelmoraApplication::getSettings()->getUserSettings()->getValue (key, defaultValue);
}
