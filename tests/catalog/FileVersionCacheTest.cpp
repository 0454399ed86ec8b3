#include "platform/FileVersionCache.h"
#include "CatalogTestSupport.h"
#include "platform/PeVersionReader.h"
#include "support/TestSupport.h"

#include <map>

using namespace CatalogTestSupport;

namespace
{
// The PE reader, counting the reads of each file.
FileVersionCache::Reader countingReader (std::map<juce::String, int>& reads)
{
    return [&reads] (const juce::File& file)
    {
        ++reads[file.getFullPathName()];
        return PeVersionReader::readFileVersion (file);
    };
}

// Later changes fall in a later tick of the file system's clock than what was kept.
void letTheClockTick()
{
    juce::Thread::sleep (20);
}
} // namespace

TEST (FileVersionCache, AFileIsReadAgainOnlyWhenItChanged)
{
    struct Case
    {
        const char* what;
        std::function<void (const juce::File&, const juce::MemoryBlock&)> change;
        const char* version; // after the change
        int reads; // by the ask after the change
    };

    std::vector<Case> cases {
        { "unchanged", [] (auto&, auto&) {}, "1.0.10.0", 0 },
    };

    for (auto& replacement : getSameSizeReplacements())
        cases.push_back ({ replacement.what, replacement.replace, "1.0.11.0", 1 });

    auto folder = TestSupport::makeTempFolder ("cache");
    auto original = loadFixture ("version-1.0.10.0.dll");
    auto replacementBytes = fixtureWithFileVersion (1, 0, 11, 0);
    ASSERT_EQ (replacementBytes.getSize(), original.getSize());

    std::map<juce::String, int> reads;
    FileVersionCache cache (countingReader (reads), 0);
    auto fileOf = [&] (size_t index)
    { return folder.getChildFile ("Plugin " + juce::String ((int) index) + ".vst3"); };

    for (size_t i = 0; i < cases.size(); ++i)
        writeFile (fileOf (i), original, anHourAgoPlus (std::chrono::milliseconds (250)));

    for (size_t i = 0; i < cases.size(); ++i)
    {
        SCOPED_TRACE (cases[i].what);
        EXPECT_EQ (cache.getVersion (fileOf (i)), "1.0.10.0");
        EXPECT_EQ (cache.getVersion (fileOf (i)), "1.0.10.0");
        EXPECT_EQ (reads[fileOf (i).getFullPathName()], 1);
    }

    letTheClockTick();

    for (size_t i = 0; i < cases.size(); ++i)
        cases[i].change (fileOf (i), replacementBytes);

    for (size_t i = 0; i < cases.size(); ++i)
    {
        SCOPED_TRACE (cases[i].what);
        auto path = fileOf (i).getFullPathName();
        EXPECT_EQ (cache.getVersion (fileOf (i)), juce::String (cases[i].version));
        EXPECT_EQ (reads[path], 1 + cases[i].reads);

        // What was read again is kept again.
        EXPECT_EQ (cache.getVersion (fileOf (i)), juce::String (cases[i].version));
        EXPECT_EQ (reads[path], 1 + cases[i].reads);
    }
}

TEST (FileVersionCache, WhatGaveNoVersionIsReadAtEveryAsk)
{
    auto folder = TestSupport::makeTempFolder ("cache");
    auto noVersion = folder.getChildFile ("No Version.vst3");
    ASSERT_TRUE (getFixture ("no-version.dll").copyFileTo (noVersion));
    auto locked = folder.getChildFile ("Locked.vst3");
    writeFile (locked, loadFixture ("version-1.0.10.0.dll"), anHourAgoPlus (std::chrono::milliseconds (250)));

    // Fails the way a file held open by its installer does, twice, then reads.
    int lockedReads = 0;
    std::map<juce::String, int> reads;
    auto read = countingReader (reads);
    auto lockedAtFirst = [&] (const juce::File& file) -> juce::String
    {
        if (file == locked && ++lockedReads <= 2)
            return {};

        return read (file);
    };
    FileVersionCache cache (lockedAtFirst, 0);

    for (auto& file : { noVersion, folder, folder.getChildFile ("Missing.vst3") })
    {
        for (int ask = 0; ask < 3; ++ask)
            EXPECT_EQ (cache.getVersion (file), "") << file.getFullPathName();

        EXPECT_EQ (reads[file.getFullPathName()], 3) << file.getFullPathName();
    }

    EXPECT_EQ (cache.getVersion (locked), "");
    EXPECT_EQ (cache.getVersion (locked), "");
    EXPECT_EQ (cache.getVersion (locked), "1.0.10.0");
    EXPECT_EQ (cache.getVersion (locked), "1.0.10.0");
    EXPECT_EQ (lockedReads, 3);
}

TEST (FileVersionCache, AFileThatChangedJustNowIsReadAtEveryAsk)
{
    auto folder = TestSupport::makeTempFolder ("cache");
    auto file = folder.getChildFile ("Fresh.vst3");
    // Its modification time says an hour ago; its status changed just now.
    writeFile (file, loadFixture ("version-1.0.10.0.dll"), anHourAgoPlus (std::chrono::milliseconds (250)));

    std::map<juce::String, int> reads;
    FileVersionCache cache (countingReader (reads), 30 * 60 * 1000);

    for (int ask = 0; ask < 3; ++ask)
        EXPECT_EQ (cache.getVersion (file), "1.0.10.0");

    EXPECT_EQ (reads[file.getFullPathName()], 3);
}
