#include "app/Addresses.h"
#include "platform/PlatformLayer.h"

#include <BuildSettings.h>

juce::URL Addresses::getStorageEndpoint()
{
    return juce::URL (VELMORA_STORAGE_URL);
}

juce::URL Addresses::getSiteHome()
{
    return juce::URL (VELMORA_SITE_URL);
}

juce::URL Addresses::getSitePage (const juce::String& path)
{
    return juce::URL (juce::String (VELMORA_SITE_URL).trimCharactersAtEnd ("/") + path);
}

juce::String Addresses::getSiteHost()
{
    return getSiteHome().getDomain();
}

juce::URL Addresses::getDownloadPage()
{
    return getSitePage ("/pages/tavoline-audio-velmora");
}

void Addresses::openInBrowser (const juce::URL& page)
{
    // Catalogue texts arrive here too: "file:", a bare path or another scheme
    // would start whatever the desktop opens for them.
    auto text = page.toString (true);

    if (text.startsWithIgnoreCase ("http://") || text.startsWithIgnoreCase ("https://"))
        PlatformLayer::openInBrowser (page);
}
