#include "ui/Status.h"

#include "catalog/ProductBase.h"
#include "downloads/DownloadInstaller.h"

Status::Status()
    : label ({}, {})
{
    label.setJustificationType (juce::Justification::centred);
    addAndMakeVisible (label);
}

Status::~Status() = default;

void Status::update (int row, ProductBase* product)
{
    jassert (product != nullptr);

    if (progressBar != nullptr)
        removeChildComponent (progressBar.get());

    std::unique_ptr<juce::ProgressBar> newBar;

    if (auto* installer = product->downloadInstaller)
    {
        installer->row = row;
        newBar = std::make_unique<juce::ProgressBar> (installer->progress);
    }
    else
    {
        newBar = std::make_unique<juce::ProgressBar> (idleProgress);
    }

    progressBar = std::move (newBar);
    addChildComponent (progressBar.get());

    auto status = product->getStatus();

    if (status == downloading)
    {
        setStatusText ("Downloading...", juce::Colour (0xffffffff));
        progressBar->setVisible (true);
    }
    else
    {
        progressBar->setVisible (false);

        if (status == notInstalled)
            setStatusText ("Not installed", juce::Colour (0xffff0000));
        else if (status == updateAvailable)
            setStatusText ("Update available", juce::Colour (0xffffff00));
        else
            setStatusText ("Latest version", juce::Colour (0xffffffff));
    }

    resized();
}

void Status::setStatusText (const juce::String& text, juce::Colour colour)
{
    label.setColour (juce::Label::textColourId, colour);
    label.setText (text, juce::dontSendNotification);
}

void Status::resized()
{
    auto w = getWidth();
    auto h = getHeight();
    auto labelWidth = (int) (0.8f * (float) w);

    if (progressBar != nullptr && progressBar->isVisible())
    {
        auto a = juce::roundToInt (0.5 * h);
        label.setBounds (0, 0, labelWidth, a);
        progressBar->setBounds (0, a, labelWidth, (int) (0.5f * (float) a));
    }
    else
    {
        label.setBounds (0, 0, labelWidth, h);
    }
}
