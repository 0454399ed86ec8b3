#pragma once

#include "app/Common.h"

class DownloadInstaller;

// Install status codes, as getStatus returns them.
enum InstallStatus
{
    downloading = 0,
    notInstalled = 1,
    updateAvailable = 2,
    latestVersion = 3
};

// One entry of the maker's catalogue.
class ProductBase
{
public:
    ProductBase() = default;
    virtual ~ProductBase() = default;

    virtual bool loadFromXml (juce::XmlElement& element) = 0;
    virtual bool refreshInstalledVersion();
    virtual bool checkInstalled();
    virtual bool isUpdateAvailable();
    virtual int getStatus();
    virtual juce::File getInstallPath() = 0;

    juce::URL getDownloadUrl();

    juce::String name;
    juce::String nameView;
    juce::String file;
    juce::String category;
    juce::String version;
    juce::String installedVersion;
    juce::String folder;
    juce::String productPage;
    juce::Image thumbnail;
    bool isNoBundleAvailable = false;
    DownloadInstaller* downloadInstaller = nullptr;
    bool installed = false;

protected:
    void readCommonAttributes (juce::XmlElement& element);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProductBase)
};
