#pragma once

#include "app/Common.h"

// The outside addresses the program was built with.
class Addresses
{
public:
    // The download storage endpoint, whose path is "/installer".
    static juce::URL getStorageEndpoint();

    // The maker's web site: its home page, a page below it, and its host name.
    static juce::URL getSiteHome();
    static juce::URL getSitePage (const juce::String& path);
    static juce::String getSiteHost();

    // The manager's own page on the maker's site.
    static juce::URL getDownloadPage();

private:
    Addresses() = delete;
};
