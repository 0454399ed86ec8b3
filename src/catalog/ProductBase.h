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

    // Fills the object from its catalogue element; false when the tag is not this kind's.
    virtual bool loadFromXml (juce::XmlElement& element) = 0;

    // True when installedVersion took a changed version of the installed file.
    virtual bool refreshInstalledVersion();

    // True when the install path's presence changed since the last look.
    virtual bool checkInstalled();

    virtual bool isUpdateAvailable();
    virtual int getStatus();

    // Where the product is or would be installed; empty when there is none.
    virtual juce::File getInstallPath() = 0;

    // The address of the product's installer archive.
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
    // Reads the attributes every kind has, then the install state and the thumbnail.
    // The install file comes from "file", defaulting to the name; a kind that names
    // another attribute takes it from there, empty when absent.
    void readCommonAttributes (juce::XmlElement& element, const juce::String& installFileAttribute = "file");

    // The product settings store's value, or the default when it holds none.
    static juce::String getSetting (const juce::String& key, const juce::String& defaultValue);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProductBase)
};
