#include "app/Addresses.h"

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
