#include "ui/DownloadButton.h"

DownloadButton::DownloadButton (const juce::String& name)
    : ListBaseButton (name)
{
}

DownloadButton::~DownloadButton() = default;
