#include "ui/ListBundleView.h"

ListBundleView::ListBundleView()
    : closeButton ("CLOSE")
{
    addAndMakeVisible (closeButton);
    closeButton.addListener (this);
}

ListBundleView::~ListBundleView() = default;

void ListBundleView::resized()
{
    auto w = getWidth();
    auto h = getHeight();

    table.setBounds (0, 0, w, juce::jmax (0, h - 42));
    closeButton.setBounds (w / 2 - 50, h - 36, 100, 30);
}

void ListBundleView::buttonClicked (juce::Button* button)
{
    if (dialogWindow != nullptr && button == &closeButton)
        dialogWindow->closeButtonPressed();

    ListProductView::buttonClicked (button);
}
