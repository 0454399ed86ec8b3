#include "app/DialogImageOk.h"

DialogImageOk::DialogImageOk (juce::Image picture)
    : image (std::move (picture))
    , okButton ("OK")
{
    addAndMakeVisible (image);
    addAndMakeVisible (okButton);
    okButton.addListener (this);
}

DialogImageOk::~DialogImageOk() = default;

void DialogImageOk::resized()
{
    auto w = getWidth();
    auto h = getHeight();
    image.setBounds (0, 0, w, juce::jmax (0, h - 42));
    okButton.setBounds (w / 2 - 75, h - 36, 150, 30);
}

void DialogImageOk::buttonClicked (juce::Button*)
{
    if (dialogWindow != nullptr)
        dialogWindow->closeButtonPressed();
}

void launchDialog (DialogImageOk* content, juce::String title)
{
    juce::DialogWindow::LaunchOptions options;
    options.dialogTitle = title;
    options.dialogBackgroundColour = juce::Colours::grey;
    options.content.setNonOwned (content);
    options.componentToCentreAround = content->getParentComponent();
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = true;
    options.useBottomRightCornerResizer = true;

    content->dialogWindow = options.launchAsync();
}
