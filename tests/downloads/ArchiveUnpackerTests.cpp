#include "DownloadsTestSupport.h"
#include "downloads/ArchiveUnpacker.h"

#include <csignal>
#include <sys/resource.h>

using namespace DownloadsTest;

namespace
{
ArchiveUnpacker::Result unpackInto (const std::string& archive, const juce::File& folder, const ArchiveUnpacker::Options& options)
{
    return ArchiveUnpacker::unpack (archive.data(), archive.size(), folder, options);
}

constexpr juce::int64 margin = ArchiveUnpacker::freeSpaceMargin;
} // namespace

// The declared sizes (1,000 + 2,000 bytes) against the free space, which must hold
// them and the margin, and against the caller's limit.
struct SizeRuleCase
{
    const char* name;
    juce::int64 freeSpace;
    juce::int64 totalSizeLimit;
    bool unpacked;
};

class ArchiveUnpackerSizes : public ::testing::TestWithParam<SizeRuleCase>
{
};

TEST_P (ArchiveUnpackerSizes, RefusesWholeWhatDoesNotFit)
{
    const auto& c = GetParam();
    auto archive = makeZip ({ "random:one.bin=1000", "--deflate", "random:two.bin=2000" });
    auto folder = TestSupport::makeTempFolder ("target");

    ArchiveUnpacker::Options options;
    options.freeSpace = c.freeSpace;
    options.totalSizeLimit = c.totalSizeLimit;
    auto result = unpackInto (archive, folder, options);

    EXPECT_EQ (result.allEntriesUnpacked, c.unpacked) << result.error;

    if (c.unpacked)
    {
        EXPECT_EQ (result.firstEntryName, "one.bin");
        EXPECT_EQ (result.writtenFiles, juce::Array<juce::File> ({ folder.getChildFile ("one.bin"), folder.getChildFile ("two.bin") }));
        EXPECT_EQ (folder.getChildFile ("two.bin").getSize(), 2000);
    }
    else
    {
        EXPECT_TRUE (result.firstEntryName.isEmpty());
        EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    }
}

INSTANTIATE_TEST_SUITE_P (Rules,
                          ArchiveUnpackerSizes,
                          ::testing::Values (SizeRuleCase { "FreeSpaceHoldsSizesAndMargin", 3000 + margin, -1, true },
                                             SizeRuleCase { "FreeSpaceOneByteShort", 3000 + margin - 1, -1, false },
                                             SizeRuleCase { "NoFreeSpace", 0, -1, false },
                                             SizeRuleCase { "LimitEqualToTheSizes", 1000000 + margin, 3000, true },
                                             SizeRuleCase { "LimitOneByteBelow", 1000000 + margin, 2999, false }),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param.name); });

TEST (ArchiveUnpacker, AWriteThatFailsFailsTheEntry)
{
    // Files may grow to 64 KiB only, as on a disk that is full: the second entry's
    // write fails, and neither it nor a cut copy of it is left.
    auto archive = makeZip ({ "file:small.txt=small", "random:big.bin=200000", "file:after.txt=after" });
    auto folder = TestSupport::makeTempFolder ("target");

    rlimit saved {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &saved), 0);
    auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 65536;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &small), 0);

    auto result = unpackInto (archive, folder, {});

    setrlimit (RLIMIT_FSIZE, &saved);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_FALSE (result.allEntriesUnpacked);
    EXPECT_EQ (readFile (folder.getChildFile ("small.txt")), "small");
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*"), 1);
}

TEST (ArchiveUnpacker, ADamagedEntryLeavesAnOlderFileOfItsNameAlone)
{
    auto archive = makeZip ({ "file:setup.exe=new installer", "--edit", "flip:0:2" });
    auto folder = TestSupport::makeTempFolder ("target");
    ASSERT_TRUE (folder.getChildFile ("setup.exe").replaceWithText ("older installer"));

    auto result = unpackInto (archive, folder, {});

    EXPECT_FALSE (result.allEntriesUnpacked);
    EXPECT_EQ (readFile (folder.getChildFile ("setup.exe")), "older installer");
    EXPECT_EQ (folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*"), 1);
}

// Where an entry of a given name is written, if anywhere.
TEST (ArchiveUnpacker, ResolvesEntryNamesOnlyInsideTheFolder)
{
    auto folder = TestSupport::makeTempFolder ("target");

    const std::vector<std::pair<juce::String, juce::String>> cases {
        { "Setup/installer.exe", "Setup/installer.exe" },
        { "Setup/", "Setup" },
        { "Setup/../top.txt", "top.txt" },
        { "", "" },
        { "../beside.txt", "" },
        { "Setup/../../beside.txt", "" },
        { "/etc/passwd", "" },
        { "~/home.txt", "" },
        { "a\\b\\c/../../beside.txt", "" },
        { "Setup\\installer.exe", "" },
    };

    for (auto& [name, expected] : cases)
    {
        auto resolved = ArchiveUnpacker::resolveEntryPath (folder, name);
        EXPECT_EQ (resolved, expected.isEmpty() ? juce::File() : folder.getChildFile (expected)) << name;
    }
}
