#pragma once

#include "catalog/ProductBase.h"

// A stand-alone program, installed below the program folder.
class Executable : public ProductBase
{
public:
    Executable() = default;

    bool loadFromXml (juce::XmlElement& element) override;
    juce::File getInstallPath() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Executable)
};
