#include "catalog/ProductBase.h"
#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/VersionHelpers.h"
#include "downloads/DownloadInstaller.h"

#include <filesystem>

namespace
{
// Each part between slashes escaped, so "?", "#" and "%" stay part of the path.
juce::String escapePathSegments (const juce::String& path)
{
    auto segments = juce::StringArray::fromTokens (path, "/", {});

    for (auto& segment : segments)
        segment = juce::URL::addEscapeChars (segment, false);

    return segments.joinIntoString ("/");
}

// A plain file whose real path, links resolved, lies below the folder's.
bool isRegularFileInside (const juce::File& file, const juce::File& folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    auto path = fs::u8path (file.getFullPathName().toRawUTF8());

    // The common case in one query: a plain file, no link, right in the folder.
    if (file.getParentDirectory() == folder)
    {
        auto status = fs::symlink_status (path, error);

        if (! error && ! fs::is_symlink (status))
            return fs::is_regular_file (status);
    }

    auto realFile = fs::canonical (path, error);

    if (error || ! fs::is_regular_file (realFile, error))
        return false;

    auto realFolder = fs::canonical (fs::u8path (folder.getFullPathName().toRawUTF8()), error);

    if (error)
        return false;

    auto relative = realFile.lexically_relative (realFolder);
    return ! relative.empty() && *relative.begin() != "..";
}
} // namespace

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
        .getChildURL (escapePathSegments (folder))
        .getChildURL (escapePathSegments (name.replaceCharacter (' ', '_') + "_Win.zip"));
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

    auto images = VelmoraApplication::getImagesFolder();
    auto thumbnailFile = images.getChildFile (name).withFileExtension ("jpg");

    if (isRegularFileInside (thumbnailFile, images))
        thumbnail = juce::ImageFileFormat::loadFrom (thumbnailFile);
}

juce::String ProductBase::getSetting (const juce::String& key, const juce::String& defaultValue)
{
    return VelmoraApplication::getSettings()->getUserSettings()->getValue (key, defaultValue);
}
