#pragma once

#include "app/Common.h"

// The outside addresses the program was built with, and the one way every web
// page is opened.
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

    // Opens a web page (an http or https address) in the default browser; any
    // other address, the empty one among them, is ignored.
    static void openInBrowser (const juce::URL& page);

private:
    Addresses() = delete;
};
