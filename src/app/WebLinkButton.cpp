#include "app/WebLinkButton.h"
#include "app/Addresses.h"

void WebLinkButton::clicked()
{
    Addresses::openInBrowser (getURL());
}

void WebLinkButton::clicked (const juce::ModifierKeys&)
{
    clicked();
}
