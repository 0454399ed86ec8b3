#pragma once

#include "account/LoginDialog.h"
#include "app/Common.h"
#include "app/DialogImageOk.h"
#include "catalog/ProductBase.h"
#include "downloads/DownloadInstaller.h"
#include "downloads/DownloadResource.h"
#include "ui/AppToolbar.h"
#include "ui/ListProductView.h"

// The whole content of the main window: toolbar, product table, sign-in overlay
// and start-up overlay, bottom to top.
class MainComponent : public juce::Component,
                      public juce::Timer,
                      public juce::ChangeListener
{
public:
    MainComponent();
    ~MainComponent() override;

    void resized() override;
    void timerCallback() override;
    void changeListenerCallback (juce::ChangeBroadcaster* source) override;

    // Builds the products and their download workers from the stored catalogue.
    void loadProducts();

    // Shows the "New version available" notice when the catalogue announces a
    // newer manager than this one.
    void checkAppVersion (juce::XmlElement& root);

    AppToolbar toolbar;
    LoginDialog loginDialog;
    DownloadResource resources;
    ListProductView productList;
    juce::Array<ProductBase*> listedProducts;
    juce::OwnedArray<ProductBase> allProducts;
    juce::OwnedArray<DownloadInstaller> installers;
    std::unique_ptr<DialogImageOk> updateNotice;

private:
    void addListedProduct (ProductBase& product);
    void refreshTables();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
