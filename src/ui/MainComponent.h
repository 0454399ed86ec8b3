#pragma once

#include "app/Common.h"
#include "app/DialogImageOk.h"
#include "catalog/ProductBase.h"
#include "downloads/DownloadInstaller.h"

// The whole content of the main window.
class MainComponent : public juce::Component
{
public:
    MainComponent();
    ~MainComponent() override;

    // Builds the products and their download workers from the stored catalogue.
    void loadProducts();

    // Shows the "New version available" notice when the catalogue announces a
    // newer manager than this one.
    void checkAppVersion (juce::XmlElement& root);

    juce::Array<ProductBase*> listedProducts;
    juce::OwnedArray<ProductBase> allProducts;
    juce::OwnedArray<DownloadInstaller> installers;
    std::unique_ptr<DialogImageOk> updateNotice;

private:
    void addListedProduct (ProductBase& product);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
