#pragma once

#include "app/CancellableStream.h"
#include "app/Common.h"

#include <atomic>

// The download worker of one listed product: fetches its installer archive,
// unpacks it into the temporary download folder, then starts or saves the installer.
class DownloadInstaller : public juce::Thread,
                          public juce::AsyncUpdater,
                          public juce::ChangeBroadcaster
{
public:
    explicit DownloadInstaller (juce::URL archiveUrl);
    ~DownloadInstaller() override;

    void run() override;
    void handleAsyncUpdate() override;

    // DOWNLOAD starts the worker, STOP ends a running one's request at once. A press
    // while the end of a run waits to be handled does nothing: that end comes next.
    void toggleDownload();

    // -1.0 while idle, 0.0 from the start, then the fraction received.
    double progress = -1.0;

    // The row of the product in the table that last refreshed its Status cell.
    int row = 0;

    juce::URL url;
    std::atomic<bool> stopRequested { false };
    juce::String installerFileName;
    std::unique_ptr<juce::FileChooser> fileChooser;

    // The work of the "Save installer" dialog's completion: copies installer to the
    // chosen file; an empty URL (the dialog cancelled) copies nothing.
    static void saveInstallerTo (const juce::URL& chosen, const juce::File& installer);

private:
    // The archive request of the current run; STOP and the destructor cancel it.
    CancellableStream stream;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadInstaller)
};
