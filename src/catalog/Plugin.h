#pragma once

#include "catalog/ProductBase.h"

// A plug-in, installed as a VST3 file or bundle, or as an AAX plug-in.
class Plugin : public ProductBase
{
public:
    Plugin() = default;

    bool loadFromXml (juce::XmlElement& element) override;
    juce::File getInstallPath() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Plugin)
};
