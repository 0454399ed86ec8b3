#include "catalog/Bundle.h"
#include "catalog/CatalogueCheck.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "catalog/VersionHelpers.h"
#include "downloads/DownloadInstaller.h"

Bundle::~Bundle()
{
    // The members belong to the product list's owner.
    products.clear();
}

bool Bundle::loadFromXml (juce::XmlElement& element)
{
    if (! element.hasTagName ("BUNDLE") || ! CatalogueCheck::hasSafePaths (element))
        return false;

    readCommonAttributes (element);

    for (auto* child : element.getChildIterator())
    {
        std::unique_ptr<ProductBase> member;

        if (child->hasTagName ("PLUGIN"))
            member = std::make_unique<Plugin>();
        else if (child->hasTagName ("EXE"))
            member = std::make_unique<Executable>();
        else
            continue;

        if (member->loadFromXml (*child))
            products.add (member.release());
    }

    return true;
}

bool Bundle::refreshInstalledVersion()
{
    auto newest = newestInstalledVersion();

    if (newest.isEmpty() || newest == installedVersion)
        return false;

    installedVersion = newest;
    return true;
}

bool Bundle::checkInstalled()
{
    auto changed = false;

    for (auto* member : products)
    {
        auto present = member->getInstallPath().exists();

        if (present != member->installed)
        {
            member->installed = present;
            installed = present;
            changed = true;
        }
    }

    installedVersion = installed ? newestInstalledVersion() : version;
    return changed;
}

int Bundle::getStatus()
{
    if (downloadInstaller != nullptr && downloadInstaller->progress > -1.0)
        return downloading;

    for (auto* member : products)
        if (! member->installed)
            return notInstalled;

    return isUpdateAvailable() ? updateAvailable : latestVersion;
}

juce::File Bundle::getInstallPath()
{
    return {};
}

juce::String Bundle::newestInstalledVersion()
{
    juce::String newest;

    for (auto* member : products)
    {
        auto path = member->getInstallPath();

        if (! path.exists())
            continue;

        auto memberVersion = readFileVersion (path);

        if (compareVersions (newest, memberVersion) == -1)
            newest = memberVersion;
    }

    return newest;
}
