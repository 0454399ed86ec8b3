#include "platform/PeVersionReader.h"
#include "CatalogTestSupport.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

using namespace CatalogTestSupport;

namespace
{
juce::String readBytes (const juce::MemoryBlock& bytes)
{
    juce::MemoryInputStream stream (bytes, false);
    return PeVersionReader::readFileVersion (stream);
}

bool looksLikeVersion (const juce::String& text)
{
    auto numbers = juce::StringArray::fromTokens (text, ".", "");
    return numbers.size() == 4 && text.containsOnly ("0123456789.");
}

// Where the fields of a fixture lie, found the way a loader finds them.
struct Layout
{
    explicit Layout (const juce::MemoryBlock& bytes)
    {
        peHeader = readUInt32 (bytes, 0x3c);
        coffHeader = peHeader + 4;
        optionalHeader = coffHeader + 20;
        sectionTable = optionalHeader + readUInt16 (bytes, coffHeader + 16);
        auto resourceRva = readUInt32 (bytes, optionalHeader + 112 + 16);

        for (size_t i = 0; i < readUInt16 (bytes, coffHeader + 2); ++i)
        {
            auto header = sectionTable + i * 40;

            if (readUInt32 (bytes, header + 12) == resourceRva)
                resourceSectionHeader = header;
        }

        resourceVa = readUInt32 (bytes, resourceSectionHeader + 12);
        resourceBase = readUInt32 (bytes, resourceSectionHeader + 20);

        auto entries = readUInt16 (bytes, resourceBase + 12) + readUInt16 (bytes, resourceBase + 14);

        for (size_t i = 0; i < entries; ++i)
            if (readUInt32 (bytes, resourceBase + 16 + i * 8) == 16)
                typeEntry = resourceBase + 16 + i * 8;

        nameDirectory = resourceBase + (readUInt32 (bytes, typeEntry + 4) & 0x7fffffff);
        languageDirectory = resourceBase + (readUInt32 (bytes, nameDirectory + 20) & 0x7fffffff);
        dataEntry = resourceBase + readUInt32 (bytes, languageDirectory + 20);
        versionBlock = resourceBase + readUInt32 (bytes, dataEntry) - resourceVa;
        fixedFileInfo = versionBlock + 40;
    }

    size_t peHeader = 0, coffHeader = 0, optionalHeader = 0, sectionTable = 0;
    size_t resourceSectionHeader = 0, resourceVa = 0, resourceBase = 0;
    size_t typeEntry = 0, nameDirectory = 0, languageDirectory = 0, dataEntry = 0;
    size_t versionBlock = 0, fixedFileInfo = 0;
};

// A PE32 image around the resource section of a PE32+ fixture (the MinGW
// linker here makes 64-bit images only).
juce::MemoryBlock makePe32 (const juce::MemoryBlock& source)
{
    Layout layout (source);
    auto sectionSize = readUInt32 (source, layout.resourceSectionHeader + 16);
    constexpr size_t sectionStart = 0x200;

    juce::MemoryBlock image (sectionStart, true);
    image.append (static_cast<const char*> (source.getData()) + layout.resourceBase, sectionSize);

    writeUInt16 (image, 0, 0x5a4d);
    writeUInt32 (image, 0x3c, 0x40);
    writeUInt32 (image, 0x40, 0x00004550);
    const size_t coff = 0x44;
    writeUInt16 (image, coff, 0x14c);
    writeUInt16 (image, coff + 2, 1);
    writeUInt16 (image, coff + 16, 224);
    const size_t optional = coff + 20;
    writeUInt16 (image, optional, 0x10b);
    writeUInt32 (image, optional + 92, 16);
    writeUInt32 (image, optional + 96 + 16, (uint32_t) layout.resourceVa);
    writeUInt32 (image, optional + 96 + 20, sectionSize);
    const size_t section = optional + 224;
    image.copyFrom (".rsrc", section, 5);
    writeUInt32 (image, section + 8, sectionSize);
    writeUInt32 (image, section + 12, (uint32_t) layout.resourceVa);
    writeUInt32 (image, section + 16, sectionSize);
    writeUInt32 (image, section + 20, sectionStart);
    return image;
}
} // namespace

TEST (PeVersionReader, ReadsTheFixedFileVersionOfRealPeFiles)
{
    struct Case
    {
        const char* fixture;
        const char* expected;
    };

    const std::vector<Case> cases {
        { "version-1.0.10.0.dll", "1.0.10.0" },
        { "version-2.3.0.7.dll", "2.3.0.7" },
        { "version-65535.65535.65535.65535.dll", "65535.65535.65535.65535" },
        { "version-0.0.0.0.dll", "0.0.0.0" },
        { "no-version.dll", "" },
        { "no-resources.dll", "" },
    };

    for (auto& c : cases)
    {
        EXPECT_EQ (PeVersionReader::readFileVersion (getFixture (c.fixture)), c.expected) << c.fixture;
        EXPECT_EQ (readBytes (loadFixture (c.fixture)), c.expected) << c.fixture;
    }
}

TEST (PeVersionReader, ReadsPe32Images)
{
    EXPECT_EQ (readBytes (makePe32 (loadFixture ("version-2.3.0.7.dll"))), "2.3.0.7");
}

TEST (PeVersionReader, NothingButRegularPeFilesHaveAVersion)
{
    auto folder = TestSupport::makeTempFolder ("notpe");
    auto dllFolder = folder.getChildFile ("Folder.dll");
    dllFolder.createDirectory();

    auto textFile = folder.getChildFile ("text.dll");
    textFile.replaceWithText ("MZ is not enough");
    auto emptyFile = folder.getChildFile ("empty.dll");
    emptyFile.create();
    auto mzOnly = folder.getChildFile ("mz.dll");
    mzOnly.replaceWithText ("MZ");

    // A pipe nobody writes to would block whoever opens it.
    auto pipe = folder.getChildFile ("pipe.dll");
    ASSERT_EQ (::mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);

    const juce::File files[] = {
        folder,
        dllFolder,
        folder.getChildFile ("missing.dll"),
        juce::File(),
        textFile,
        emptyFile,
        mzOnly,
        pipe,
        juce::File::getSpecialLocation (juce::File::currentExecutableFile), // an ELF file
    };

    for (auto& file : files)
        EXPECT_EQ (PeVersionReader::readFileVersion (file), "") << file.getFullPathName();
}

TEST (PeVersionReader, TruncatedCopiesGiveNoVersionUntilTheFixedFileInfoIsWhole)
{
    auto original = loadFixture ("version-1.0.10.0.dll");
    Layout layout (original);
    auto lastNeededByte = layout.fixedFileInfo + 16;
    auto folder = TestSupport::makeTempFolder ("truncated");

    for (size_t length = 0; length <= original.getSize(); ++length)
    {
        juce::MemoryBlock copy (original.getData(), length);
        auto version = readBytes (copy);

        if (length < lastNeededByte)
            EXPECT_EQ (version, "") << "length " << length;
        else
            EXPECT_TRUE (version.isEmpty() || version == "1.0.10.0") << "length " << length;
    }

    // The same through real files, at the lengths where a header ends.
    const size_t lengths[] = { 1, 2, 0x3c, 0x40, layout.peHeader + 4, layout.optionalHeader + 2, layout.sectionTable, layout.resourceBase + 16, layout.dataEntry + 8, layout.fixedFileInfo, lastNeededByte - 1 };

    for (auto length : lengths)
    {
        auto file = folder.getChildFile ("cut-" + juce::String ((int) length) + ".dll");
        ASSERT_TRUE (file.replaceWithData (original.getData(), length));
        EXPECT_EQ (PeVersionReader::readFileVersion (file), "") << "length " << length;
    }

    // Cut right after the file version: the rest of the fixed file info is not needed.
    EXPECT_EQ (readBytes (juce::MemoryBlock (original.getData(), lastNeededByte)), "1.0.10.0");

    auto whole = folder.getChildFile ("whole.dll");
    ASSERT_TRUE (whole.replaceWithData (original.getData(), original.getSize()));
    EXPECT_EQ (PeVersionReader::readFileVersion (whole), "1.0.10.0");
}

TEST (PeVersionReader, CorruptHeadersAndResourcesGiveNoVersionOrTheTrueOne)
{
    using Patch = std::function<void (juce::MemoryBlock&, const Layout&)>;

    struct Case
    {
        const char* what;
        Patch patch;
        const char* expected; // nullptr: either empty or the true version
    };

    const std::vector<Case> cases {
        { "no MZ", [] (auto& b, auto&)
          { writeUInt16 (b, 0, 0x5a4e); },
          "" },
        { "PE header past the end", [] (auto& b, auto&)
          { writeUInt32 (b, 0x3c, (uint32_t) b.getSize() - 2); },
          "" },
        { "PE header at 4 GB", [] (auto& b, auto&)
          { writeUInt32 (b, 0x3c, 0xffffffff); },
          "" },
        { "no PE signature", [] (auto& b, auto& l)
          { b[l.peHeader + 1] = 'X'; },
          "" },
        { "unknown optional header", [] (auto& b, auto& l)
          { writeUInt16 (b, l.optionalHeader, 0x30b); },
          "" },
        { "PE32 magic on a PE32+ header", [] (auto& b, auto& l)
          { writeUInt16 (b, l.optionalHeader, 0x10b); },
          nullptr },
        { "optional header too short", [] (auto& b, auto& l)
          { writeUInt16 (b, l.coffHeader + 16, 0x70); },
          "" },
        { "two data directories", [] (auto& b, auto& l)
          { writeUInt32 (b, l.optionalHeader + 108, 2); },
          "" },
        { "no sections", [] (auto& b, auto& l)
          { writeUInt16 (b, l.coffHeader + 2, 0); },
          "" },
        { "65535 sections", [] (auto& b, auto& l)
          { writeUInt16 (b, l.coffHeader + 2, 0xffff); },
          nullptr },
        { "resource address nowhere", [] (auto& b, auto& l)
          { writeUInt32 (b, l.optionalHeader + 128, 0x7ffff000); },
          "" },
        { "resource size zero", [] (auto& b, auto& l)
          { writeUInt32 (b, l.optionalHeader + 132, 0); },
          "" },
        { "resource size 4 GB", [] (auto& b, auto& l)
          { writeUInt32 (b, l.optionalHeader + 132, 0xffffffff); },
          "1.0.10.0" },
        { "section data past the end", [] (auto& b, auto& l)
          { writeUInt32 (b, l.resourceSectionHeader + 20, 0xfffffe00); },
          "" },
        { "section raw size 4 GB", [] (auto& b, auto& l)
          { writeUInt32 (b, l.resourceSectionHeader + 16, 0xffffffff); },
          nullptr },
        { "section sizes zero", [] (auto& b, auto& l)
          { writeUInt32 (b, l.resourceSectionHeader + 16, 0); writeUInt32 (b, l.resourceSectionHeader + 8, 0); },
          "" },
        { "65535 type entries", [] (auto& b, auto& l)
          { writeUInt16 (b, l.resourceBase + 14, 0xffff); },
          nullptr },
        { "type entry is not RT_VERSION", [] (auto& b, auto& l)
          { writeUInt32 (b, l.typeEntry, 17); },
          "" },
        { "type entry points back at the root", [] (auto& b, auto& l)
          { writeUInt32 (b, l.typeEntry + 4, 0x80000000); },
          "" },
        { "type entry points far away", [] (auto& b, auto& l)
          { writeUInt32 (b, l.typeEntry + 4, 0xfffffff0); },
          "" },
        { "type entry is a data entry", [] (auto& b, auto& l)
          { b[l.typeEntry + 7] = 0; },
          "" },
        { "no names", [] (auto& b, auto& l)
          { writeUInt32 (b, l.nameDirectory + 12, 0); },
          "" },
        { "language is a directory", [] (auto& b, auto& l)
          { b[l.languageDirectory + 23] = (char) 0x80; },
          "" },
        { "data entry far away", [] (auto& b, auto& l)
          { writeUInt32 (b, l.languageDirectory + 20, 0x7ffffff0); },
          "" },
        { "version data nowhere", [] (auto& b, auto& l)
          { writeUInt32 (b, l.dataEntry, 0x10); },
          "" },
        { "version data size zero", [] (auto& b, auto& l)
          { writeUInt32 (b, l.dataEntry + 4, 0); },
          "" },
        { "version data size 4 GB", [] (auto& b, auto& l)
          { writeUInt32 (b, l.dataEntry + 4, 0xffffffff); },
          "1.0.10.0" },
        { "block length too short", [] (auto& b, auto& l)
          { writeUInt16 (b, l.versionBlock, 60); },
          "" },
        { "no fixed file info", [] (auto& b, auto& l)
          { writeUInt16 (b, l.versionBlock + 2, 0); },
          "" },
        { "wrong key", [] (auto& b, auto& l)
          { b[l.versionBlock + 6] = 'W'; },
          "" },
        { "wrong signature", [] (auto& b, auto& l)
          { b[l.fixedFileInfo] ^= 1; },
          "" },
    };

    auto original = loadFixture ("version-1.0.10.0.dll");
    Layout layout (original);
    ASSERT_EQ (readUInt32 (original, layout.fixedFileInfo), 0xfeef04bdu);

    for (auto& c : cases)
    {
        auto copy = original;
        c.patch (copy, layout);
        auto version = readBytes (copy);

        if (c.expected != nullptr)
            EXPECT_EQ (version, c.expected) << c.what;
        else
            EXPECT_TRUE (version.isEmpty() || version == "1.0.10.0") << c.what << ": " << version;
    }
}

TEST (PeVersionReader, EveryFlippedByteGivesAVersionTextOrNothing)
{
    for (auto* fixture : { "version-1.0.10.0.dll", "no-version.dll" })
    {
        auto original = loadFixture (fixture);

        for (size_t i = 0; i < original.getSize(); ++i)
        {
            for (auto mask : { 0x01, 0x80, 0xff })
            {
                auto copy = original;
                copy[i] = (char) (copy[i] ^ mask);
                auto version = readBytes (copy);
                EXPECT_TRUE (version.isEmpty() || looksLikeVersion (version)) << fixture << " byte " << i;
            }
        }
    }
}

TEST (PeVersionReader, AStreamOfUnknownLengthHasNoVersion)
{
    struct UnknownLength : public juce::MemoryInputStream
    {
        using MemoryInputStream::MemoryInputStream;
        juce::int64 getTotalLength() override { return -1; }
    };

    auto bytes = loadFixture ("version-1.0.10.0.dll");
    UnknownLength stream (bytes, false);
    EXPECT_EQ (PeVersionReader::readFileVersion (stream), "");
}
