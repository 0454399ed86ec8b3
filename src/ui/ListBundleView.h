#pragma once

#include "ui/ListProductView.h"

// The members of one bundle in a product table of their own, shown in a modal
// dialog window with a "CLOSE" button under the table.
class ListBundleView : public ListProductView
{
public:
    ListBundleView();
    ~ListBundleView() override;

    void resized() override;
    void buttonClicked (juce::Button* button) override;

    // The window showing this view; the framework deletes it when it is dismissed.
    juce::Component::SafePointer<juce::DialogWindow> dialogWindow;
    juce::TextButton closeButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ListBundleView)
};
