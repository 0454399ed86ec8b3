#include "ui/ButtonsCell.h"

#include "catalog/Bundle.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "downloads/DownloadInstaller.h"

ButtonsCell::ButtonsCell (juce::Button::Listener* listener)
    : downloadButton ("DOWNLOAD")
    , bundleButton ("VIEW BUNDLE")
{
    if (listener != nullptr)
    {
        downloadButton.addListener (listener);
        bundleButton.addListener (listener);
    }

    addAndMakeVisible (downloadButton);
    addChildComponent (bundleButton);
}

ButtonsCell::~ButtonsCell() = default;

void ButtonsCell::update (int row, ProductBase* product, bool isBundleView)
{
    jassert (product != nullptr);

    downloadButton.row = row;
    bundleButton.row = row;

    if (auto* installer = product->downloadInstaller)
        updateDownloadCaption (downloadButton, installer->progress > -1.0);

    if (dynamic_cast<Plugin*> (product) != nullptr)
    {
        downloadButton.setVisible (! isBundleView);
        bundleButton.setVisible (false);
    }
    else if (dynamic_cast<Bundle*> (product) != nullptr)
    {
        downloadButton.setVisible (true);
        bundleButton.setVisible (true);
    }
    else if (dynamic_cast<Executable*> (product) != nullptr)
    {
        downloadButton.setVisible (true);
        bundleButton.setVisible (false);
    }

    // A reused cell may show a button here for the first time.
    resized();
}

void ButtonsCell::resized()
{
    auto w = getWidth();
    auto h = getHeight();
    auto buttonWidth = juce::roundToInt (0.48f * (float) w);
    auto buttonHeight = juce::roundToInt (0.5f * (float) h);
    auto y = h / 2 - buttonHeight / 2;

    if (downloadButton.isVisible())
    {
        downloadButton.setBounds (0, y, buttonWidth, buttonHeight);
        bundleButton.setBounds ((int) (0.5f * (float) w), y, buttonWidth, buttonHeight);
    }
}

void ButtonsCell::updateDownloadCaption (juce::Button& button, bool downloading)
{
    button.setButtonText (downloading ? "STOP" : "DOWNLOAD");
}
