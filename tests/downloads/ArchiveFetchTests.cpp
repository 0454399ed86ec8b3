#include "DownloadsTestSupport.h"
#include "downloads/FastMemoryOutputStream.h"

using namespace DownloadsTest;
using Outcome = ArchiveFetch::Outcome;

namespace
{
constexpr double lengthWhenUnknown = 1048576.0;

// A small archive whose entries the fetch cases look for.
std::string makeSmallArchive()
{
    return makeZip ({ "file:Setup/installer.exe=MZ installer", "file:Setup/readme.txt=read me" });
}

void expectSmallArchiveUnpacked (const juce::File& folder)
{
    EXPECT_EQ (readFile (folder.getChildFile ("Setup/installer.exe")), "MZ installer");
    EXPECT_EQ (readFile (folder.getChildFile ("Setup/readme.txt")), "read me");
}

int countFilesBelow (const juce::File& folder)
{
    return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles);
}
} // namespace

enum class Progress
{
    untouched, // still the caller's -1.0
    zero, // reset when the 200 arrived, nothing received
    whole, // exactly 1.0: the announced length arrived
    overUnknownLength // received / 1,048,576
};

//==============================================================================
// How the answer of the server decides what is read and unpacked.
struct ServedCase
{
    const char* name;
    const char* path; // requested path; the handlers below serve each
    Outcome outcome;
    bool unpacked; // every entry of the small archive on disk
    Progress progress;
};

class ArchiveFetchServed : public ::testing::TestWithParam<ServedCase>
{
};

TEST_P (ArchiveFetchServed, ReadsOnlyA200AndUnpacksWhatArrived)
{
    const auto& c = GetParam();
    auto archive = makeSmallArchive();
    auto length = (double) archive.size();

    LoopbackServer server;
    auto& http = server.server();
    http.Get ("/sized.zip", [archive] (const httplib::Request&, httplib::Response& response)
              { response.set_content (archive, "application/zip"); });
    http.Get ("/chunked.zip", [archive] (const httplib::Request&, httplib::Response& response)
              { response.set_chunked_content_provider ("application/zip",
                                                       [archive] (size_t offset, httplib::DataSink& sink)
                                                       {
                                                           if (offset < archive.size())
                                                               sink.write (archive.data() + offset, std::min<size_t> (1000, archive.size() - offset));
                                                           else
                                                               sink.done();
                                                           return true;
                                                       }); });
    http.Get ("/missing.zip", [archive] (const httplib::Request&, httplib::Response& response)
              {
                  response.status = 404;
                  response.set_content (archive, "application/zip"); });
    http.Get ("/partial.zip", [archive] (const httplib::Request&, httplib::Response& response)
              {
                  response.status = 206;
                  response.set_content (archive, "application/zip"); });
    http.Get ("/empty.zip", [] (const httplib::Request&, httplib::Response& response)
              { response.set_content ("", "application/zip"); });
    http.Get ("/once.zip", [] (const httplib::Request&, httplib::Response& response)
              { response.set_redirect ("/sized.zip"); });
    http.Get ("/twice.zip", [] (const httplib::Request&, httplib::Response& response)
              { response.set_redirect ("/once.zip"); });
    server.start();

    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl (c.path)), folder);
    auto result = fetch.fetch();

    EXPECT_EQ (result.outcome, c.outcome);
    EXPECT_EQ (result.allEntriesUnpacked, c.unpacked);
    EXPECT_EQ (result.firstEntryName, c.unpacked ? "Setup/installer.exe" : "");

    if (c.unpacked)
        expectSmallArchiveUnpacked (folder);
    else
        EXPECT_EQ (countFilesBelow (folder), 0);

    switch (c.progress)
    {
        case Progress::untouched:
            EXPECT_EQ (fetch.progress, -1.0);
            break;
        case Progress::zero:
            EXPECT_EQ (fetch.progress, 0.0);
            break;
        case Progress::whole:
            EXPECT_EQ (fetch.progress, 1.0);
            break;
        case Progress::overUnknownLength:
            EXPECT_DOUBLE_EQ (fetch.progress, length / lengthWhenUnknown);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P (Answers,
                          ArchiveFetchServed,
                          ::testing::Values (ServedCase { "WithLength", "/sized.zip", Outcome::unpacked, true, Progress::whole },
                                             ServedCase { "ChunkedWithoutLength", "/chunked.zip", Outcome::unpacked, true, Progress::overUnknownLength },
                                             ServedCase { "NotFound", "/missing.zip", Outcome::notFetched, false, Progress::untouched },
                                             ServedCase { "PartialContent", "/partial.zip", Outcome::notFetched, false, Progress::untouched },
                                             ServedCase { "EmptyBody", "/empty.zip", Outcome::unpacked, false, Progress::zero },
                                             ServedCase { "OneRedirect", "/once.zip", Outcome::unpacked, true, Progress::whole },
                                             ServedCase { "TwoRedirects", "/twice.zip", Outcome::notFetched, false, Progress::untouched }),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param.name); });

TEST (ArchiveFetch, ChunkedArchiveOfThreeMillionBytesEndsAboveOne)
{
    // Pad a real archive to 3,000,000 bytes with a stored entry of the right size.
    auto probe = makeZip ({ "random:payload.bin=1000" });
    auto archive = makeZip ({ "random:payload.bin=" + juce::String (3000000 - (int) probe.size() + 1000) });
    ASSERT_EQ (archive.size(), 3000000u);

    LoopbackServer server;
    server.server().Get ("/big.zip", [archive] (const httplib::Request&, httplib::Response& response)
                         { response.set_chunked_content_provider ("application/zip",
                                                                  [archive] (size_t offset, httplib::DataSink& sink)
                                                                  {
                                                                      if (offset < archive.size())
                                                                          sink.write (archive.data() + offset, std::min<size_t> (100000, archive.size() - offset));
                                                                      else
                                                                          sink.done();
                                                                      return true;
                                                                  }); });
    server.start();

    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl ("/big.zip")), folder);
    auto result = fetch.fetch();

    EXPECT_EQ (result.outcome, Outcome::unpacked);
    EXPECT_TRUE (result.allEntriesUnpacked);
    EXPECT_NEAR (fetch.progress, 2.86, 0.005);
    EXPECT_EQ (folder.getChildFile ("payload.bin").getSize(), 3000000 - (juce::int64) probe.size() + 1000);
}

TEST (ArchiveFetch, ConnectionDroppedMidBodyUnpacksNothing)
{
    // Announces the whole archive, sends a part of it, then closes the connection:
    // the read ends there and the archive, lacking its end record, lists no entries.
    auto archive = makeZip ({ "random:big.bin=2000000", "file:after.txt=after" });

    LoopbackServer server;
    server.server().Get ("/dropped.zip", [archive] (const httplib::Request&, httplib::Response& response)
                         { response.set_content_provider (archive.size(),
                                                          "application/zip",
                                                          [archive] (size_t offset, size_t, httplib::DataSink& sink)
                                                          {
                                                              if (offset > 0)
                                                              {
                                                                  std::this_thread::sleep_for (std::chrono::milliseconds (300));
                                                                  return false;
                                                              }

                                                              sink.write (archive.data(), 300000);
                                                              return true;
                                                          }); });
    server.start();

    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl ("/dropped.zip")), folder);
    auto result = fetch.fetch();

    EXPECT_EQ (result.outcome, Outcome::unpacked);
    EXPECT_FALSE (result.allEntriesUnpacked);
    EXPECT_DOUBLE_EQ (fetch.progress, 300000.0 / (double) archive.size());
    EXPECT_EQ (countFilesBelow (folder), 0);
}

TEST (ArchiveFetch, AsksForAnOctetStreamByGetWithoutBody)
{
    auto archive = makeSmallArchive();
    std::string accept, method, body;

    LoopbackServer server;
    server.server().Get ("/a.zip", [&] (const httplib::Request& request, httplib::Response& response)
                         {
                             accept = request.get_header_value ("Accept");
                             method = request.method;
                             body = request.body;
                             response.set_content (archive, "application/zip"); });
    server.start();

    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl ("/a.zip")), folder);
    EXPECT_EQ (fetch.fetch().outcome, Outcome::unpacked);

    EXPECT_EQ (accept, "application/octet-stream");
    EXPECT_EQ (method, "GET");
    EXPECT_EQ (body, "");
}

TEST (ArchiveFetch, NothingListeningIsNotFetched)
{
    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL ("http://127.0.0.1:" + juce::String (getClosedLoopbackPort()) + "/a.zip"), folder);

    EXPECT_EQ (fetch.fetch().outcome, Outcome::notFetched);
    EXPECT_EQ (fetch.progress, -1.0);
}

TEST (ArchiveFetch, ProgressIsLeftAloneWhenNotAskedToReset)
{
    LoopbackServer server;
    server.server().Get ("/empty.zip", [] (const httplib::Request&, httplib::Response& response)
                         { response.set_content ("", "application/zip"); });
    server.start();

    FetchThread fetch (juce::URL (server.getUrl ("/empty.zip")), TestSupport::makeTempFolder ("target"));
    fetch.resetProgress = false;
    fetch.progress = 0.25;
    fetch.fetch();

    EXPECT_EQ (fetch.progress, 0.25);
}

TEST (ArchiveFetch, StopBetweenStepsWritesNothing)
{
    auto archive = makeZip ({ "random:big.bin=2000000", "file:after.txt=after" });

    LoopbackServer server;
    serveSlowly (server.server(), "/slow.zip", archive, 65536, 20);
    server.start();

    std::atomic<bool> stop { false };
    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl ("/slow.zip")), folder, &stop);
    fetch.startThread();

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return fetch.progress > 0.0; }));
    stop = true;
    ASSERT_TRUE (fetch.waitForThreadToExit (10000));

    EXPECT_EQ (fetch.result.outcome, Outcome::stopped);
    EXPECT_FALSE (fetch.result.allEntriesUnpacked);
    EXPECT_LT (fetch.progress, 1.0);
    EXPECT_EQ (countFilesBelow (folder), 0);
}

TEST (ArchiveFetch, ExitRequestBeforeAStepWritesNothing)
{
    auto archive = makeZip ({ "random:big.bin=2000000" });

    LoopbackServer server;
    serveSlowly (server.server(), "/slow.zip", archive, 65536, 20);
    server.start();

    auto folder = TestSupport::makeTempFolder ("target");
    FetchThread fetch (juce::URL (server.getUrl ("/slow.zip")), folder);
    fetch.startThread();

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return fetch.progress > 0.0; }));
    fetch.signalThreadShouldExit();
    ASSERT_TRUE (fetch.waitForThreadToExit (10000));

    EXPECT_EQ (fetch.result.outcome, Outcome::exitRequested);
    EXPECT_EQ (countFilesBelow (folder), 0);
}

//==============================================================================
// Which entries reach the disk. Each archive is unpacked into "target" inside a
// folder of its own, so that anything written beside the target shows.
struct UnpackCase
{
    const char* name;
    std::vector<juce::String> entries; // make_zip.py forms; OUTSIDE stands for the folder beside the target
    bool allUnpacked;
    juce::String firstEntryName;
    std::vector<std::pair<juce::String, std::string>> expectedFiles; // below the target
    std::vector<juce::String> absentBelowTarget;
};

class ArchiveUnpack : public ::testing::TestWithParam<UnpackCase>
{
};

TEST_P (ArchiveUnpack, WritesOnlyInsideTheTargetAndStopsAtTheFirstFailure)
{
    const auto& c = GetParam();
    auto root = TestSupport::makeTempFolder ("root");
    auto target = root.getChildFile ("target");
    auto outside = root.getChildFile ("outside");
    ASSERT_TRUE (target.createDirectory());
    ASSERT_TRUE (outside.createDirectory());

    // Same names already in the target are replaced.
    target.getChildFile ("Setup/installer.exe").create();
    target.getChildFile ("Setup/installer.exe").replaceWithText ("old installer");

    juce::StringArray entries;

    for (auto& entry : c.entries)
        entries.add (entry.replace ("OUTSIDE", outside.getFullPathName()));

    for (auto deflate : { false, true })
    {
        SCOPED_TRACE (deflate ? "deflated" : "stored");
        auto archive = makeZip (entries, deflate);

        LoopbackServer server;
        server.server().Get ("/a.zip", [archive] (const httplib::Request&, httplib::Response& response)
                             { response.set_content (archive, "application/zip"); });
        server.start();

        FetchThread fetch (juce::URL (server.getUrl ("/a.zip")), target);
        auto result = fetch.fetch();

        EXPECT_EQ (result.outcome, Outcome::unpacked);
        EXPECT_EQ (result.allEntriesUnpacked, c.allUnpacked);
        EXPECT_EQ (result.firstEntryName, c.firstEntryName);

        for (auto& [path, content] : c.expectedFiles)
            EXPECT_EQ (readFile (target.getChildFile (path)), content) << path;

        for (auto& path : c.absentBelowTarget)
            EXPECT_FALSE (target.getChildFile (path).exists() || target.getChildFile (path).isSymbolicLink()) << path;

        // Nothing beside the target, nothing in the outside folder, nothing in the test home's root.
        EXPECT_EQ (root.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2);
        EXPECT_EQ (outside.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
        EXPECT_FALSE (TestSupport::getTestHome().getChildFile ("escaped.txt").exists());
    }
}

INSTANTIATE_TEST_SUITE_P (
    Archives,
    ArchiveUnpack,
    ::testing::Values (
        UnpackCase { "EntriesInFolders",
                     { "file:Setup/installer.exe=new installer", "file:Setup/data/readme.txt=read me", "file:top.txt=top" },
                     true,
                     "Setup/installer.exe",
                     { { "Setup/installer.exe", "new installer" }, { "Setup/data/readme.txt", "read me" }, { "top.txt", "top" } },
                     {} },
        UnpackCase { "FirstEntryIsAFolder",
                     { "dir:Setup/", "file:Setup/installer.exe=new installer" },
                     true,
                     "Setup/",
                     { { "Setup/installer.exe", "new installer" } },
                     {} },
        UnpackCase { "ThirdEntryLeadsUpward",
                     { "file:one.txt=1", "file:two.txt=2", "file:../escaped.txt=x", "file:four.txt=4" },
                     false,
                     "",
                     { { "one.txt", "1" }, { "two.txt", "2" } },
                     { "four.txt" } },
        UnpackCase { "ThirdEntryLeadsUpwardThroughAFolder",
                     { "file:one.txt=1", "file:two.txt=2", "file:Setup/../../escaped.txt=x", "file:four.txt=4" },
                     false,
                     "",
                     { { "one.txt", "1" }, { "two.txt", "2" } },
                     { "four.txt" } },
        UnpackCase { "ThirdEntryIsAnAbsolutePath",
                     { "file:one.txt=1", "file:two.txt=2", "file:OUTSIDE/escaped.txt=x", "file:four.txt=4" },
                     false,
                     "",
                     { { "one.txt", "1" }, { "two.txt", "2" } },
                     { "four.txt" } },
        UnpackCase { "ThirdEntryReplacesAFolderThatIsNotEmpty",
                     { "file:one.txt=1", "file:two.txt=2", "file:Setup=x", "file:four.txt=4" },
                     false,
                     "",
                     { { "one.txt", "1" }, { "two.txt", "2" }, { "Setup/installer.exe", "old installer" } },
                     { "four.txt" } },
        UnpackCase { "LinkToAMissingFileOutsideThenAFileOfItsName",
                     { "file:one.txt=1", "link:planted=OUTSIDE/planted.txt", "file:planted=written through the link" },
                     false,
                     "",
                     { { "one.txt", "1" } },
                     { "planted" } },
        UnpackCase { "LinkToTheFolderOutsideThenAFileBelowIt",
                     { "link:escape=OUTSIDE", "file:escape/planted.txt=written through the link" },
                     false,
                     "",
                     {},
                     { "escape" } },
        UnpackCase { "RelativeLinkUpwardThenAFileOfItsName",
                     { "link:planted=../outside/planted.txt", "file:planted=written through the link" },
                     false,
                     "",
                     {},
                     { "planted" } }),
    [] (const auto& testInfo)
    { return std::string (testInfo.param.name); });

TEST (FastMemoryOutputStream, CopiesInPlainPiecesWithoutGrowingTheReservedBlock)
{
    juce::MemoryBlock source (200000);

    for (size_t i = 0; i < source.getSize(); ++i)
        source[i] = (char) (i * 7);

    juce::MemoryBlock block;
    FastMemoryOutputStream stream (block, true);
    stream.preallocate (300000);
    auto reserved = block.getData();

    juce::MemoryInputStream input (source, false);
    EXPECT_EQ (stream.writeFromInputStream (input, 65536), 65536);
    EXPECT_EQ (stream.writeFromInputStream (input, -1), 200000 - 65536);
    EXPECT_EQ (stream.writeFromInputStream (input, 65536), 0);

    EXPECT_EQ (block.getData(), reserved);
    EXPECT_EQ (stream.getDataSize(), source.getSize());
    EXPECT_EQ (std::memcmp (stream.getData(), source.getData(), source.getSize()), 0);
}

TEST (FastMemoryOutputStream, GrowsABlockReservedTooSmallByItsOwnRuleNotAtEveryCall)
{
    // A source that announces its length, read in download-sized steps.
    juce::MemoryBlock source (4000000);

    for (size_t i = 0; i < source.getSize(); ++i)
        source[i] = (char) (i * 13);

    juce::MemoryBlock block;
    FastMemoryOutputStream stream (block, true);
    stream.preallocate (65536);
    juce::MemoryInputStream input (source, false);

    int steps = 0, growths = 0;
    auto size = block.getSize();

    while (stream.writeFromInputStream (input, 65536) > 0)
    {
        ++steps;

        if (block.getSize() != size)
        {
            ++growths;
            size = block.getSize();
        }
    }

    // Reserving again for each call would enlarge the block at every step past the
    // reservation; growing by the stream's own rule needs only a few enlargements.
    EXPECT_EQ (steps, 62);
    EXPECT_LT (growths, steps / 4);
    EXPECT_EQ (stream.getDataSize(), source.getSize());
    EXPECT_EQ (std::memcmp (stream.getData(), source.getData(), source.getSize()), 0);
}
