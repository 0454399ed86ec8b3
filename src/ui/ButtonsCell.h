#pragma once

#include "ui/BundleButton.h"
#include "ui/DownloadButton.h"

class ProductBase;

// Column 8 of a product row: "DOWNLOAD" (or "STOP") and "VIEW BUNDLE".
// The presses go to the listener, which tells them apart by the button's class.
class ButtonsCell : public juce::Component
{
public:
    explicit ButtonsCell (juce::Button::Listener* listener);
    ~ButtonsCell() override;

    void update (int row, ProductBase* product, bool isBundleView);
    void resized() override;

    static void updateDownloadCaption (juce::Button& button, bool downloading);

    DownloadButton downloadButton;
    BundleButton bundleButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ButtonsCell)
};
