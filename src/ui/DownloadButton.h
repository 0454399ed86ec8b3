#pragma once

#include "ui/ListBaseButton.h"

// The DOWNLOAD / STOP button of a product row.
class DownloadButton : public ListBaseButton
{
public:
    explicit DownloadButton (const juce::String& name);
    ~DownloadButton() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadButton)
};
