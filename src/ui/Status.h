#pragma once

#include "app/Common.h"

class ProductBase;

// Column 5 of a product row: the install status as coloured text, with a
// progress bar under it while the product downloads.
class Status : public juce::Component
{
public:
    Status();
    ~Status() override;

    // Shows the product's status and makes this row the row of its download worker.
    void update (int row, ProductBase* product);

    void setStatusText (const juce::String& text, juce::Colour colour);

    void resized() override;

    // What the bar shows for a product without a download worker; declared
    // first so that it outlives every bar bound to it.
    double idleProgress = -1.0;
    std::unique_ptr<juce::ProgressBar> progressBar;
    juce::Label label;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Status)
};
