#include "ui/MainComponent.h"

#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/Bundle.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "catalog/VersionHelpers.h"

namespace
{
std::unique_ptr<ProductBase> createProduct (const juce::XmlElement& element)
{
    if (element.hasTagName ("PLUGIN"))
        return std::make_unique<Plugin>();

    if (element.hasTagName ("EXE"))
        return std::make_unique<Executable>();

    if (element.hasTagName ("BUNDLE"))
        return std::make_unique<Bundle>();

    return {};
}
} // namespace

MainComponent::MainComponent()
{
    setSize (1400, 600);
}

MainComponent::~MainComponent() = default;

void MainComponent::loadProducts()
{
    auto text = VelmoraApplication::getSettings()->getUserSettings()->getValue ("xmlAppProducts");
    auto root = juce::parseXML (text);

    if (root == nullptr || ! root->hasTagName ("INSTALLATION_MANAGER"))
        return;

    checkAppVersion (*root);

    for (auto* element : root->getChildIterator())
    {
        auto created = createProduct (*element);

        if (created == nullptr || ! created->loadFromXml (*element))
            continue;

        auto* product = allProducts.add (created.release());
        addListedProduct (*product);

        if (auto* bundle = dynamic_cast<Bundle*> (product))
        {
            for (auto* member : bundle->products)
            {
                allProducts.add (member);

                if (member->isNoBundleAvailable)
                    addListedProduct (*member);
            }
        }
    }
}

void MainComponent::addListedProduct (ProductBase& product)
{
    auto installer = std::make_unique<DownloadInstaller> (product.getDownloadUrl());
    product.downloadInstaller = installer.get();
    listedProducts.add (&product);
    installers.add (installer.release());
}

void MainComponent::checkAppVersion (juce::XmlElement& root)
{
    auto ownVersion = readFileVersion (juce::File::getSpecialLocation (juce::File::currentExecutableFile));
    auto announcedVersion = root.getStringAttribute ("version", "0");

    if (compareVersions (ownVersion, announcedVersion) != -1)
        return;

    updateNotice = std::make_unique<DialogImageOk> (juce::ImageCache::getFromMemory (BinaryData::UpdateVelmora_png,
                                                                                     BinaryData::UpdateVelmora_pngSize));
    updateNotice->setSize (600, 280);
    updateNotice->image.link = Addresses::getDownloadPage();
    launchDialog (updateNotice.get(), "New version available");
}
