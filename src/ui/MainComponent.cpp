#include "ui/MainComponent.h"

#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/Bundle.h"
#include "catalog/CatalogueCheck.h"
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

    addAndMakeVisible (toolbar);
    toolbar.addChangeListener (this);

    addAndMakeVisible (productList);

    loginDialog.addChangeListener (this);
    addAndMakeVisible (loginDialog);
    loginDialog.startLogin();

    addAndMakeVisible (resources);
    resources.addChangeListener (this);
    resources.startThread();

    productList.products = &listedProducts;

    startTimer (200);
}

MainComponent::~MainComponent() = default;

void MainComponent::resized()
{
    auto w = getWidth();
    auto h = getHeight();
    loginDialog.setBounds (0, 0, w, h);
    resources.setBounds (0, 0, w, h);
    toolbar.setBounds (0, 0, w, 50);
    productList.setBounds (0, 50, w, h - 50);
}

void MainComponent::timerCallback()
{
    for (auto* product : listedProducts)
    {
        if (product->checkInstalled())
            refreshTables();

        if (product->refreshInstalledVersion())
            refreshTables();
    }
}

void MainComponent::refreshTables()
{
    productList.table.updateContent();
    productList.table.repaint();

    if (productList.bundleView != nullptr)
        productList.bundleView->refreshBundleViews (true);
}

void MainComponent::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (dynamic_cast<DownloadResource*> (source) != nullptr)
    {
        loadProducts();
        productList.table.updateContent();

        if (productList.bundleView != nullptr)
            productList.bundleView->refreshBundleViews (false);

        productList.sortByName();
    }
    else if (dynamic_cast<LoginDialog*> (source) != nullptr)
    {
        toolbar.updateMailLabel();
        refreshTables();
    }
    else if (dynamic_cast<AppToolbar*> (source) != nullptr)
    {
        loginDialog.setVisible (true);
        refreshTables();
    }
}

void MainComponent::loadProducts()
{
    auto text = VelmoraApplication::getSettings()->getUserSettings()->getValue ("xmlAppProducts");
    auto root = CatalogueCheck::parse (text);

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
