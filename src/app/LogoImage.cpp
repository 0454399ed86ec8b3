#include "app/LogoImage.h"
#include "app/Addresses.h"

LogoImage::LogoImage()
{
    logo = juce::Drawable::createFromImageData (BinaryData::logo_svg, BinaryData::logo_svgSize);
}

LogoImage::~LogoImage()
{
    logo = nullptr;
}

void LogoImage::mouseDoubleClick (const juce::MouseEvent&)
{
    Addresses::openInBrowser (Addresses::getSiteHome());
}

void LogoImage::paint (juce::Graphics& g)
{
    if (logo != nullptr)
        logo->drawWithin (g, getLocalBounds().toFloat(), juce::RectanglePlacement::centred, 1.0f);
}
