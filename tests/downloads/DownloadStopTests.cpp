#include "DownloadsTestSupport.h"
#include "app/VelmoraApplication.h"
#include "downloads/DownloadInstaller.h"
#include "support/MisbehavingServer.h"

using namespace DownloadsTest;
using Behaviour = MisbehavingServer::Behaviour;

namespace
{
juce::File getTempFolder()
{
    return VelmoraApplication::getTempFolder();
}

int countTempEntries()
{
    return getTempFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories);
}

juce::MemoryBlock toBlock (const std::string& bytes)
{
    return juce::MemoryBlock (bytes.data(), bytes.size());
}

constexpr size_t stepSize = 65536;

// An archive whose first entry, when started, leaves a marker file; on request its
// size is a whole number of the fetch's steps.
struct MarkedArchive
{
    explicit MarkedArchive (bool wholeSteps = false)
    {
        auto script = "file:run.sh=#!/bin/sh\ntouch '" + marker.getFullPathName() + "'\n";
        bytes = toBlock (makeZip ({ script, "random:big.bin=400000" }));

        // The entries are stored, so the archive grows by what the entry grows.
        if (auto rest = bytes.getSize() % stepSize; wholeSteps && rest != 0)
            bytes = toBlock (makeZip ({ script, "random:big.bin=" + juce::String (400000 + stepSize - rest) }));
    }

    juce::File marker = TestSupport::getTestHome().getChildFile ("started.marker");
    juce::MemoryBlock bytes;
};

enum class Ending
{
    stopPressed,
    workerDeleted
};

struct LinkCase
{
    const char* name;
    Behaviour behaviour;
    size_t stallAfterBytes;
    bool progressBeforeEnd; // some of the body arrives before the press
    bool wholeArchiveFirst = false; // the stall comes after every byte of the archive
};

class StoppedOnABadLink : public ::testing::TestWithParam<std::tuple<LinkCase, Ending>>
{
};
} // namespace

// Whatever the link does, a STOP or the worker's deletion ends the download within a
// second of the press, without killing its thread, and nothing reaches the disk.
TEST_P (StoppedOnABadLink, EndsWithinASecondAndWritesNothing)
{
    auto [link, ending] = GetParam();
    MarkedArchive archive (link.wholeArchiveFirst);
    auto body = archive.bytes;
    auto stallAfterBytes = link.stallAfterBytes;

    // An announced length beyond the archive: the stall comes where the archive is
    // complete, at the start of a step, so only the STOP tells the cut from the end.
    if (link.wholeArchiveFirst)
    {
        ASSERT_EQ (body.getSize() % stepSize, 0u);
        stallAfterBytes = body.getSize();
        body.setSize (body.getSize() + 100000, true);
    }

    MisbehavingServer server (link.behaviour, body, 200, stallAfterBytes);
    auto installer = std::make_unique<DownloadInstaller> (juce::URL (server.getUrl ("/product_Win.zip")));
    ChangeCounter changes;
    installer->addChangeListener (&changes);

    installer->toggleDownload();

    if (link.behaviour != Behaviour::neverAccept)
    {
        ASSERT_TRUE (server.waitForRequest());
    }

    if (link.progressBeforeEnd)
    {
        // Everything before the stall has been read.
        auto beforeStall = (double) stallAfterBytes / (double) body.getSize();
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return installer->progress > 0.0 && installer->progress >= beforeStall - 0.1; }));
        TestSupport::pumpFor (100);
    }
    else
    {
        TestSupport::pumpFor (300);
    }

    ASSERT_TRUE (installer->isThreadRunning());

    if (ending == Ending::stopPressed)
    {
        installer->toggleDownload();
        EXPECT_TRUE (installer->waitForThreadToExit (1000));

        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return changes.count > 0; }));
        EXPECT_EQ (installer->progress, -1.0);
        EXPECT_TRUE (installer->installerFileName.isEmpty());
        installer->removeChangeListener (&changes);
    }
    else
    {
        installer->removeChangeListener (&changes);
        installer = nullptr;
    }

    TestSupport::pumpFor (300);
    EXPECT_EQ (changes.count, ending == Ending::stopPressed ? 1 : 0);
    EXPECT_EQ (countTempEntries(), 0);
    EXPECT_FALSE (archive.marker.exists());
}

INSTANTIATE_TEST_SUITE_P (Links,
                          StoppedOnABadLink,
                          ::testing::Combine (::testing::Values (LinkCase { "connectPending", Behaviour::neverAccept, 0, false },
                                                                 LinkCase { "stalledBeforeHeaders", Behaviour::neverAnswer, 0, false },
                                                                 LinkCase { "stalledMidBody", Behaviour::stallAfterHeaders, 150000, true },
                                                                 LinkCase { "stalledAfterTheArchive", Behaviour::stallAfterHeaders, 0, true, true },
                                                                 LinkCase { "drip200BytesPerSecond", Behaviour::drip, 0, false }),
                                              ::testing::Values (Ending::stopPressed, Ending::workerDeleted)),
                          [] (const auto& testInfo)
                          {
                              return std::string (std::get<0> (testInfo.param).name)
                                     + (std::get<1> (testInfo.param) == Ending::stopPressed ? "_stop" : "_deleted");
                          });

// A STOP pressed after the run has ended, while its end still waits for the message
// thread, starts nothing: the pending end is handled once and the worker is idle.
TEST (DownloadInstaller, StopWhileTheEndIsPendingStartsNothing)
{
    auto archive = toBlock (makeZip ({ "file:run.sh=#!/bin/sh\ntrue\n" }));
    MisbehavingServer server (Behaviour::answer, archive);
    DownloadInstaller installer (juce::URL (server.getUrl ("/product_Win.zip")));
    ChangeCounter changes;
    installer.addChangeListener (&changes);

    installer.toggleDownload();

    // The message thread is held here: the run ends and its end stays pending.
    ASSERT_TRUE (installer.waitForThreadToExit (30000));
    ASSERT_TRUE (installer.isUpdatePending());
    EXPECT_GT (installer.progress, 0.0);

    installer.toggleDownload(); // the STOP of the button that still reads "STOP"
    EXPECT_FALSE (installer.isThreadRunning());

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return changes.count > 0; }));
    TestSupport::pumpFor (300);

    EXPECT_EQ (changes.count, 1);
    EXPECT_EQ (server.getRequestCount(), 1);
    EXPECT_FALSE (installer.isThreadRunning());
    EXPECT_EQ (installer.progress, -1.0);
    EXPECT_EQ (installer.installerFileName, "run.sh");

    installer.removeChangeListener (&changes);
}
