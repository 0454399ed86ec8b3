#include "app/DrawImage.h"
#include "app/Addresses.h"

DrawImage::DrawImage (juce::Image picture)
    : image (std::move (picture))
{
}

DrawImage::~DrawImage() = default;

void DrawImage::mouseEnter (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void DrawImage::mouseExit (const juce::MouseEvent&)
{
    setMouseCursor (juce::MouseCursor::NormalCursor);
}

void DrawImage::mouseDown (const juce::MouseEvent&)
{
    if (! link.isEmpty())
        Addresses::openInBrowser (link);
}

void DrawImage::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
    g.drawImageWithin (image, 0, 0, getWidth(), getHeight(), juce::RectanglePlacement::centred, false);
}
