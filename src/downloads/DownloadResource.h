#pragma once

#include "app/CancellableStream.h"
#include "app/DrawImage.h"

// The start-up overlay, and the worker that fetches the catalogue once per run
// and refreshes the images folder when the catalogue announces new images.
class DownloadResource : public juce::Component,
                         public juce::Thread,
                         public juce::AsyncUpdater,
                         public juce::ChangeBroadcaster
{
public:
    DownloadResource();
    ~DownloadResource() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void run() override;
    void handleAsyncUpdate() override;

    // Fetches the archive and unpacks it into the folder. True when the archive
    // arrived and every entry of it was unpacked.
    bool downloadAndExtractZip (juce::URL url, juce::File folder);

    std::unique_ptr<juce::ProgressBar> progressBar;

    // -1.0 while the catalogue is fetched, then the fraction of "Images.zip" received.
    double progress = -1.0;

    DrawImage captionImage;

    // 0 a catalogue arrived, 1 the reply is no catalogue, 2 the connection failed.
    int result = 0;

private:
    void refreshImages (const juce::URL& folderUrl, int remoteCount);

    // The request under way (the catalogue, then "Images.zip"); the destructor cancels it.
    CancellableStream stream;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadResource)
};
