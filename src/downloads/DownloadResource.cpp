#include "downloads/DownloadResource.h"

#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/CatalogueCheck.h"
#include "downloads/ArchiveFetch.h"

namespace
{
const juce::String productUpdateCountKey { "productUpdateCount" };

juce::PropertiesFile& getStore()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

void showWarning (const juce::String& title, const juce::String& message)
{
    auto options = juce::MessageBoxOptions()
                       .withIconType (juce::MessageBoxIconType::WarningIcon)
                       .withTitle (title)
                       .withMessage (message)
                       .withButton ("OK");

    juce::AlertWindow::showAsync (options, static_cast<juce::ModalComponentManager::Callback*> (nullptr));
}
} // namespace

DownloadResource::DownloadResource()
    : juce::Thread ("Download Resources")
    , captionImage (juce::ImageCache::getFromMemory (BinaryData::updating_resources_png,
                                                     BinaryData::updating_resources_pngSize))
{
    progressBar = std::make_unique<juce::ProgressBar> (progress);
    addAndMakeVisible (captionImage);
    addAndMakeVisible (*progressBar);
}

DownloadResource::~DownloadResource()
{
    stopThread (1000);
}

void DownloadResource::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff000000));
}

void DownloadResource::resized()
{
    auto cx = getWidth() / 2;
    auto cy = getHeight() / 2;
    captionImage.setBounds (cx - 100, cy - 95, 200, 50);
    progressBar->setBounds (cx - 200, cy - 12, 400, 25);
}

void DownloadResource::run()
{
    auto localCount = getStore().getIntValue (productUpdateCountKey, -1);

    auto folderUrl = Addresses::getStorageEndpoint().getChildURL ("Velmora");
    auto catalogueUrl = folderUrl.getChildURL ("AppPlugins.xml");

    juce::WebInputStream stream (catalogueUrl, false);
    stream.withConnectionTimeout (2000);

    result = 0;

    // The curl back end reports a refused or timed-out connection as connected,
    // with no status: no status means no server answered.
    if (! stream.connect (nullptr) || stream.getStatusCode() == 0)
    {
        result = 2;
        triggerAsyncUpdate();
        return;
    }

    juce::MemoryOutputStream body (256);

    // A reply longer than any catalogue may be is not read to its end.
    while (! stream.isExhausted() && ! stream.isError() && ! threadShouldExit()
           && body.getDataSize() <= CatalogueCheck::catalogueLimits.maxBytes)
    {
        if (body.writeFromInputStream (stream, 8192) <= 0)
            break;
    }

    if (threadShouldExit())
    {
        triggerAsyncUpdate();
        return;
    }

    auto text = juce::String::createStringFromData (body.getData(), (int) body.getDataSize());
    auto xml = CatalogueCheck::parse (text);

    // Only a catalogue replaces the stored one: an error page or a portal's page
    // must not empty the table of a later offline start.
    if (xml == nullptr || ! xml->hasTagName ("INSTALLATION_MANAGER"))
    {
        result = 1;
    }
    else
    {
        getStore().setValue ("xmlAppProducts", xml.get());

        auto remoteCount = xml->getIntAttribute (productUpdateCountKey);

        if (localCount < remoteCount)
            refreshImages (folderUrl, remoteCount);
    }

    triggerAsyncUpdate();
}

void DownloadResource::refreshImages (const juce::URL& folderUrl, int remoteCount)
{
    auto images = VelmoraApplication::getImagesFolder();

    if (images.getFullPathName().isEmpty())
        return;

    if (images.exists())
        images.deleteRecursively();

    images.createDirectory();

    // The count is kept back until a complete set of images has arrived, so a
    // failed refresh is tried again at the next start.
    if (downloadAndExtractZip (folderUrl.getChildURL ("Images.zip"), images) && ! threadShouldExit())
        getStore().setValue (productUpdateCountKey, remoteCount);
}

bool DownloadResource::downloadAndExtractZip (juce::URL url, juce::File folder)
{
    auto fetch = ArchiveFetch::fetchAndUnpack (url, folder, *this, progress, true, nullptr);
    return fetch.outcome == ArchiveFetch::Outcome::unpacked && fetch.allEntriesUnpacked;
}

void DownloadResource::handleAsyncUpdate()
{
    stopThread (1000);
    setVisible (false);
    sendChangeMessage();

    if (result == 1)
        showWarning ("Server busy", "Cloase and reopend Velmora");
    else if (result == 2)
        showWarning ("No Internet connection", "Make sure to be online");
}
