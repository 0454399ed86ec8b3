#include "catalog/VersionHelpers.h"
#include "CatalogTestSupport.h"
#include "support/TestSupport.h"

using namespace CatalogTestSupport;

TEST (VersionHelpers, CompareVersionsReadsTheDigitsAsOneWholeNumber)
{
    struct Case
    {
        const char* a;
        const char* b;
        int expected;
    };

    const std::vector<Case> cases {
        { "1.1.0", "1.0.10", -1 }, // 110 against 1010
        { "1.0.10", "1.0.9", 1 },
        { "1.0.10", "1.0.11", -1 },
        { "1.0", "0.1.0", 0 },
        { "1.2.3", "12.3", 0 },
        { "", "0", 0 },
        { "", "0.0.0", 0 },
        { "", "beta", 0 },
        { "", "1.0.0", -1 },
        { "1.0.0", "", 1 },
        { "2.0.0b", "2.0.0", 0 },
        { "beta1.0", "0.0.1", -1 },
        { "-1.0", "-10", 0 },
        { "-1.0", "0", -1 },
        { "-0", "0", 0 },
        { "+1.0", "10", 0 },
        { " \t1.0.10", "1010", 0 },
        { "1.0.10 beta", "1.0.10", 0 },
        { "- 1", "0", 0 },
        { "1. 0", "1", 0 }, // the blank stops the digits
        { "1.0.10", "1.0.10", 0 },
        // Beyond 32 bits the numbers still compare by their exact value.
        { "2147483647", "2147483648", -1 },
        { "4294967296", "1", 1 },
        { "99999999999999999999", "99999999999999999998", 1 },
        { "00000000000000000000001", "1", 0 },
        { "-99999999999999999999", "-1", -1 },
        { "-99999999999999999999", "99999999999999999999", -1 },
        { "1.0.0.0.0.0.0.0.0.0.0.0", "1", 1 },
    };

    for (auto& c : cases)
    {
        EXPECT_EQ (compareVersions (c.a, c.b), c.expected) << "'" << c.a << "' against '" << c.b << "'";
        EXPECT_EQ (compareVersions (c.b, c.a), -c.expected) << "'" << c.b << "' against '" << c.a << "'";
    }
}

TEST (VersionHelpers, CompareVersionsLeavesTheCallersTextsAlone)
{
    juce::String a ("1.0.10"), b ("1.1.0");
    EXPECT_EQ (compareVersions (a, b), 1);
    EXPECT_EQ (a, "1.0.10");
    EXPECT_EQ (b, "1.1.0");
}

TEST (VersionHelpers, ReadFileVersionDropsTheFourthNumber)
{
    struct Case
    {
        juce::File file;
        const char* expected;
    };

    auto folder = TestSupport::makeTempFolder ("versions");

    const std::vector<Case> cases {
        { getVersionFixture ("1.0.10.0"), "1.0.10" },
        { getVersionFixture ("2.3.0.7"), "2.3.0" },
        { getVersionFixture ("65535.65535.65535.65535"), "65535.65535.65535" },
        { getVersionFixture ("0.0.0.0"), "0.0.0" },
        { getFixture ("no-version.dll"), "" },
        { folder, "" },
        { folder.getChildFile ("missing.dll"), "" },
        // The running program answers its own version.
        { juce::File::getSpecialLocation (juce::File::currentExecutableFile), "1.0.10" },
    };

    for (auto& c : cases)
        EXPECT_EQ (readFileVersion (c.file), c.expected) << c.file.getFullPathName();
}
