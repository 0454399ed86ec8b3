#include "downloads/DownloadInstaller.h"
#include "app/VelmoraApplication.h"
#include "downloads/ArchiveFetch.h"
#include "downloads/ArchiveUnpacker.h"
#include "platform/PlatformLayer.h"

DownloadInstaller::DownloadInstaller (juce::URL archiveUrl)
    : juce::Thread ("Download Installer")
    , url (std::move (archiveUrl))
{
}

DownloadInstaller::~DownloadInstaller()
{
    stream.endThread (*this);

    // A run that ended just before the stop must not be reported either.
    cancelPendingUpdate();
    fileChooser = nullptr;
}

void DownloadInstaller::toggleDownload()
{
    if (isThreadRunning())
    {
        stopRequested = true;
        stream.cancel();
        return;
    }

    if (isUpdatePending())
        return;

    stopRequested = false;
    stream.reset();
    progress = 0.0;
    startThread (juce::Thread::Priority::low);
}

void DownloadInstaller::run()
{
    installerFileName = {};

    auto result = ArchiveFetch::fetchAndUnpack (url,
                                                VelmoraApplication::getTempFolder(),
                                                *this,
                                                progress,
                                                false,
                                                &stopRequested,
                                                stream);

    if (result.outcome == ArchiveFetch::Outcome::exitRequested)
        return;

    if (result.outcome == ArchiveFetch::Outcome::unpacked && result.allEntriesUnpacked)
        installerFileName = result.firstEntryName;

    triggerAsyncUpdate();
}

void DownloadInstaller::handleAsyncUpdate()
{
    // The file the unpacker wrote for the first entry; a name that it would not write
    // inside the temporary folder gives none, and nothing is started or offered.
    auto installer = ArchiveUnpacker::resolveEntryPath (VelmoraApplication::getTempFolder(), installerFileName);

    if (installer != juce::File())
    {
        auto autoLaunch = VelmoraApplication::getSettings()->getUserSettings()->getBoolValue ("installerAutoLaunch", true);

        if (autoLaunch)
        {
            if (installer.exists())
                PlatformLayer::startThroughShell (installer);
        }
        else
        {
            fileChooser = std::make_unique<juce::FileChooser> ("Save installer",
                                                               PlatformLayer::getDesktopFolder().getChildFile (installer.getFileName()),
                                                               juce::String(),
                                                               true);

            fileChooser->launchAsync (juce::FileBrowserComponent::saveMode,
                                      [installer] (const juce::FileChooser& chooser)
                                      { saveInstallerTo (chooser.getURLResult(), installer); });
        }
    }

    progress = -1.0;
    sendChangeMessage();
}

void DownloadInstaller::saveInstallerTo (const juce::URL& chosen, const juce::File& installer)
{
    auto path = chosen.isLocalFile() ? chosen.getLocalFile().getFullPathName()
                                     : chosen.toString (true);

    if (path.isNotEmpty())
        installer.copyFileTo (juce::File (path));
}
