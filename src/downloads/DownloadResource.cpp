#include "downloads/DownloadResource.h"

#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/CatalogueCheck.h"
#include "downloads/ArchiveFetch.h"

namespace
{
const juce::String productUpdateCountKey { "productUpdateCount" };

// Thumbnails only: an image set that declares more than this is refused.
constexpr juce::int64 imagesSizeLimit = 256 * 1024 * 1024;

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
    stream.endThread (*this);
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

    auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                       .withConnectionTimeoutMs (2000);

    result = 0;

    // No status means that no server answered: the curl back end reports a refused or
    // timed-out connection as connected, with no status.
    if (! stream.open (catalogueUrl, options) && stream.getStatusCode() <= 0)
    {
        result = 2;
        stream.close();
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

    stream.close();

    if (threadShouldExit())
    {
        triggerAsyncUpdate();
        return;
    }

    auto text = juce::String::createStringFromData (body.getData(), (int) body.getDataSize());
    auto xml = CatalogueCheck::parse (text);

    // The window closed while a long catalogue was parsed: nothing is stored.
    if (threadShouldExit())
    {
        triggerAsyncUpdate();
        return;
    }

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
    auto fetch = ArchiveFetch::fetchAndUnpack (url, folder, *this, progress, true, nullptr, stream, imagesSizeLimit);
    return fetch.outcome == ArchiveFetch::Outcome::unpacked && fetch.allEntriesUnpacked;
}

void DownloadResource::handleAsyncUpdate()
{
    // The worker has posted as its last step and ends at once.
    stream.endThread (*this);
    setVisible (false);
    sendChangeMessage();

    if (result == 1)
        showWarning ("Server busy", "Cloase and reopend Velmora");
    else if (result == 2)
        showWarning ("No Internet connection", "Make sure to be online");
}
