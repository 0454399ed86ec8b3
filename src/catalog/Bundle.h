#pragma once

#include "catalog/ProductBase.h"

// A bundle of plug-ins and programs. Its members are owned elsewhere.
class Bundle : public ProductBase
{
public:
    Bundle() = default;
    ~Bundle() override;

    bool loadFromXml (juce::XmlElement& element) override;
    bool refreshInstalledVersion() override;
    bool checkInstalled() override;
    int getStatus() override;
    juce::File getInstallPath() override;

    // The newest version among the members found on disk, empty when none.
    juce::String newestInstalledVersion();

    juce::Array<ProductBase*> products;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Bundle)
};
