#include "DownloadsTestSupport.h"
#include "app/VelmoraApplication.h"
#include "downloads/DownloadInstaller.h"

#include <sys/stat.h>

using namespace DownloadsTest;

namespace
{
juce::PropertiesFile& getUserSettings()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

juce::File getTempFolder()
{
    return VelmoraApplication::getTempFolder();
}

// A script that leaves the marker file when it runs.
juce::String makeMarkerScript (const juce::File& marker)
{
    return "#!/bin/sh\ntouch '" + marker.getFullPathName() + "'\n";
}

// Every file and folder below folder, hidden ones included: a half-written entry
// must not be left behind.
juce::StringArray listFilesBelow (const juce::File& folder)
{
    juce::StringArray files;

    for (auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories, juce::File::FollowSymlinks::no))
        files.add (entry.getFile().getRelativePathFrom (folder));

    files.sort (false);
    return files;
}

int getMode (const juce::File& file)
{
    struct stat info
    {
    };

    return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 ? (int) (info.st_mode & 07777) : -1;
}

// One installer worker, its server and a count of its change messages.
struct Download
{
    ~Download()
    {
        if (installer != nullptr)
            installer->removeChangeListener (&changes);

        installer = nullptr;
        server.stop();
    }

    // Serves the archive, presses DOWNLOAD and waits for the handled end.
    void run (const std::string& archive)
    {
        server.server().Get ("/product_Win.zip", [archive] (const httplib::Request&, httplib::Response& response)
                             { response.set_content (archive, "application/zip"); });
        server.start();

        installer = std::make_unique<DownloadInstaller> (juce::URL (server.getUrl ("/product_Win.zip")));
        installer->addChangeListener (&changes);
        installer->toggleDownload();

        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return changes.count > 0; },
                                             60000));
        TestSupport::pumpFor (500);
    }

    LoopbackServer server;
    ChangeCounter changes;
    std::unique_ptr<DownloadInstaller> installer;
};
} // namespace

//==============================================================================
// Archives that are damaged or hostile, each downloaded by an installer worker with
// automatic start on and off: nothing is started or offered, no file name is
// recorded, and only the entries before the one that fails are on disk.
struct HostileCase
{
    const char* name;
    std::vector<juce::String> entries; // after "file:run.sh=<marker script>"; make_zip.py forms and --edit
    std::vector<juce::String> filesAfter; // below the temporary folder
};

class HostileArchive : public ::testing::TestWithParam<HostileCase>
{
};

TEST_P (HostileArchive, StartsNothingAndKeepsOnlyTheEntriesBeforeTheFailure)
{
    const auto& c = GetParam();
    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");

    juce::StringArray entries { "file:run.sh=" + makeMarkerScript (marker) };

    for (auto& entry : c.entries)
        entries.add (entry);

    auto archive = makeZip (entries);
    ASSERT_FALSE (archive.empty());

    for (auto autoLaunch : { true, false })
    {
        SCOPED_TRACE (autoLaunch ? "auto launch on" : "auto launch off");
        getUserSettings().setValue ("installerAutoLaunch", autoLaunch);
        getTempFolder().deleteRecursively();
        ASSERT_TRUE (getTempFolder().createDirectory());

        Download download;
        download.run (archive);

        EXPECT_EQ (download.changes.count, 1);
        EXPECT_EQ (download.installer->progress, -1.0);
        EXPECT_TRUE (download.installer->installerFileName.isEmpty());
        EXPECT_EQ (download.installer->fileChooser, nullptr);
        EXPECT_FALSE (marker.exists());
        EXPECT_EQ (listFilesBelow (getTempFolder()), juce::StringArray (c.filesAfter.data(), (int) c.filesAfter.size()));
    }
}

INSTANTIATE_TEST_SUITE_P (
    Archives,
    HostileArchive,
    ::testing::Values (
        // Damaged in transit or on the server: the third entry's bytes do not match its record.
        HostileCase { "StoredEntryWithOneByteFlipped",
                      { "file:two.txt=2", "random:payload.bin=4000", "file:four.txt=4", "--edit", "flip:2:100" },
                      { "run.sh", "two.txt" } },
        HostileCase { "DeflatedEntryWith256BytesOverwritten",
                      { "file:two.txt=2", "--deflate", "random:payload.bin=8000", "--store", "file:four.txt=4", "--edit", "overwrite:2:1000:256" },
                      { "run.sh", "two.txt" } },
        HostileCase { "DeflateStreamInvalidFromItsFirstByte",
                      { "file:two.txt=2", "--deflate", "file:payload.txt=" + juce::String::repeatedString ("setup data ", 200), "--store", "file:four.txt=4", "--edit", "bad-deflate:2" },
                      { "run.sh", "two.txt" } },
        HostileCase { "LengthTooLargeInBothHeaders",
                      { "file:two.txt=2", "random:payload.bin=4000", "file:four.txt=4", "--edit", "grow:2:50000" },
                      { "run.sh", "two.txt" } },
        HostileCase { "BadLocalHeaderSignature",
                      { "file:two.txt=2", "random:payload.bin=4000", "file:four.txt=4", "--edit", "local-signature:2" },
                      { "run.sh", "two.txt" } },
        // A separator for other readers, an ordinary character here: fails on Linux.
        HostileCase { "BackslashInAName",
                      { "file:two.txt=2", "file:Setup\\readme.txt=read me", "file:four.txt=4" },
                      { "run.sh", "two.txt" } },
        // A few MiB that declare a few bytes: writing stops at the declared size.
        HostileCase { "InflatesBeyondItsDeclaredSize",
                      { "file:two.txt=2", "--deflate", "zeros:bomb.bin=4194304", "--store", "file:four.txt=4", "--edit", "declare:2:16" },
                      { "run.sh", "two.txt" } },
        // Refused whole, before anything is written.
        HostileCase { "NameNotValidUtf8",
                      { "file:two.txt=2", "file:Cafe/readme.txt=read me", "--edit", "name:2:" + juce::String::toHexString ("Caf\xe9/readme.txt", 15, 0) },
                      {} },
        HostileCase { "Windows1252Name",
                      { "file:Voila setup.txt=read me", "--edit", "name:1:" + juce::String::toHexString ("Voil\xe0 setup.txt", 15, 0) },
                      {} },
        HostileCase { "Zip64EndRecord",
                      { "file:two.txt=2", "--edit", "add-zip64" },
                      {} },
        HostileCase { "MoreEntriesThanAZip64Count",
                      { "many:e=65536" },
                      {} },
        HostileCase { "MoreRecordsThanTheSixteenBitCountSays",
                      { "many:e=65536", "--edit", "strip-zip64" },
                      {} }),
    [] (const auto& testInfo)
    { return std::string (testInfo.param.name); });

TEST (HostileArchive, DeclaredSizesBeyondTheFreeSpaceAreRefusedWhole)
{
    // 2,000 entries that declare 4,000,000,000 bytes each: 8 TB, more than the test disk holds.
    constexpr juce::int64 declaredEach = 4000000000;
    constexpr int count = 2000;

    if (getTempFolder().getBytesFreeOnVolume() > declaredEach * count)
        GTEST_SKIP() << "the test disk has more than 8 TB free";

    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");
    auto archive = makeZip ({ "file:run.sh=" + makeMarkerScript (marker),
                              "many:e=" + juce::String (count),
                              "--edit",
                              "declare:*:" + juce::String (declaredEach) });

    Download download;
    download.run (archive);

    EXPECT_TRUE (download.installer->installerFileName.isEmpty());
    EXPECT_FALSE (marker.exists());
    EXPECT_EQ (listFilesBelow (getTempFolder()), juce::StringArray());
}

//==============================================================================
// An entry whose name holds a backslash: another reader takes it for a separator, so
// "a\b\c/../../victim.sh" stays inside for it but leads beside the temporary folder
// here. It fails to unpack, and the file beside the folder is neither made executable
// nor started nor offered.
TEST (HostileArchive, BackslashInAnEntryNameReachesNothingOutside)
{
    auto ranMarker = TestSupport::getTestHome().getChildFile ("victim-ran.marker");
    auto victim = getTempFolder().getSiblingFile ("victim.sh");

    for (auto autoLaunch : { true, false })
    {
        SCOPED_TRACE (autoLaunch ? "auto launch on" : "auto launch off");
        getUserSettings().setValue ("installerAutoLaunch", autoLaunch);
        getTempFolder().deleteRecursively();
        ASSERT_TRUE (getTempFolder().createDirectory());
        ASSERT_TRUE (victim.replaceWithText (makeMarkerScript (ranMarker), false, false, "\n"));
        ASSERT_EQ (::chmod (victim.getFullPathName().toRawUTF8(), 0644), 0);

        auto archive = makeZip ({ "file:a\\b\\c/../../victim.sh=#!/bin/sh\n", "file:two.txt=2" });

        Download download;
        download.run (archive);

        EXPECT_TRUE (download.installer->installerFileName.isEmpty());
        EXPECT_EQ (download.installer->fileChooser, nullptr);
        EXPECT_EQ (getMode (victim), 0644);
        EXPECT_EQ (victim.loadFileAsString(), makeMarkerScript (ranMarker));
        EXPECT_FALSE (ranMarker.exists());
        EXPECT_EQ (listFilesBelow (getTempFolder()), juce::StringArray());
    }

    victim.deleteFile();
}

// The handler starts or offers only a file that the unpacker would write inside the
// temporary folder, whatever name it is handed.
TEST (HostileArchive, HandlerStartsOrOffersNothingOutsideTheTemporaryFolder)
{
    auto ranMarker = TestSupport::getTestHome().getChildFile ("victim-ran.marker");
    auto victim = getTempFolder().getSiblingFile ("victim.sh");
    ASSERT_TRUE (victim.replaceWithText (makeMarkerScript (ranMarker), false, false, "\n"));

    const juce::StringArray names { "../victim.sh",
                                    "a\\b\\c/../../victim.sh",
                                    victim.getFullPathName(),
                                    "Setup/../../victim.sh" };

    for (auto autoLaunch : { true, false })
    {
        getUserSettings().setValue ("installerAutoLaunch", autoLaunch);

        for (auto& name : names)
        {
            SCOPED_TRACE ((autoLaunch ? "auto launch on: " : "auto launch off: ") + name);
            ASSERT_EQ (::chmod (victim.getFullPathName().toRawUTF8(), 0644), 0);

            DownloadInstaller installer (juce::URL ("http://127.0.0.1:9/product_Win.zip"));
            installer.installerFileName = name;
            installer.handleAsyncUpdate();
            TestSupport::pumpFor (300);

            EXPECT_EQ (installer.fileChooser, nullptr);
            EXPECT_EQ (installer.progress, -1.0);
            EXPECT_EQ (getMode (victim), 0644);
            EXPECT_FALSE (ranMarker.exists());
        }
    }

    victim.deleteFile();
}
