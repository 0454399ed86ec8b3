#include "platform/PeVersionReader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace
{
// Limits that keep a corrupt or hostile file from costing more than a few reads.
constexpr uint32_t maxSections = 96;
constexpr uint32_t maxDirectoryEntries = 4096;

constexpr uint32_t resourceDirectoryIndex = 2;
constexpr uint32_t rtVersion = 16;
constexpr uint32_t subdirectoryFlag = 0x80000000u;
constexpr uint32_t fixedFileInfoSignature = 0xfeef04bdu;

constexpr uint64_t sectionHeaderSize = 40;
constexpr uint64_t directoryHeaderSize = 16;
constexpr uint64_t directoryEntrySize = 8;
constexpr uint64_t dataEntrySize = 16;
constexpr uint64_t fixedFileInfoSize = 52;
constexpr uint64_t fixedFileVersionBytes = 16;

// Serves small reads at any offset of a stream from one window of its bytes,
// so the headers, which sit together, cost a single read.
class WindowedReader
{
public:
    WindowedReader (juce::InputStream& source, juce::int64 totalLength)
        : stream (source), size (totalLength)
    {
    }

    uint64_t getSize() const { return size > 0 ? (uint64_t) size : 0; }

    // False unless all of [offset, offset + length) lies in the stream and was read.
    bool read (uint64_t offset, void* destination, size_t length)
    {
        if (length > window.size() || offset > getSize() || length > getSize() - offset)
            return false;

        if (offset < windowStart || offset + length > windowStart + windowLength)
            if (! fillWindow (offset))
                return false;

        if (offset + length > windowStart + windowLength)
            return false;

        std::memcpy (destination, window.data() + (offset - windowStart), length);
        return true;
    }

    bool readUInt16 (uint64_t offset, uint32_t& value)
    {
        uint8_t bytes[2];

        if (! read (offset, bytes, sizeof (bytes)))
            return false;

        value = (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8);
        return true;
    }

    bool readUInt32 (uint64_t offset, uint32_t& value)
    {
        uint8_t bytes[4];

        if (! read (offset, bytes, sizeof (bytes)))
            return false;

        value = (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8) | ((uint32_t) bytes[2] << 16) | ((uint32_t) bytes[3] << 24);
        return true;
    }

private:
    bool fillWindow (uint64_t offset)
    {
        windowStart = offset;
        windowLength = 0;

        if (! stream.setPosition ((juce::int64) offset))
            return false;

        auto wanted = (int) juce::jmin ((uint64_t) window.size(), getSize() - offset);
        auto got = stream.read (window.data(), wanted);

        if (got <= 0)
            return false;

        windowLength = (uint64_t) got;
        return true;
    }

    juce::InputStream& stream;
    const juce::int64 size;
    std::array<uint8_t, 4096> window;
    uint64_t windowStart = 0;
    uint64_t windowLength = 0;
};

uint32_t uint32At (const uint8_t* bytes)
{
    return (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8) | ((uint32_t) bytes[2] << 16) | ((uint32_t) bytes[3] << 24);
}

uint32_t uint16At (const uint8_t* bytes)
{
    return (uint32_t) bytes[0] | ((uint32_t) bytes[1] << 8);
}

class PeFile
{
public:
    PeFile (juce::InputStream& stream, juce::int64 totalLength)
        : reader (stream, totalLength)
    {
    }

    juce::String readVersion()
    {
        uint64_t dataOffset = 0, dataLength = 0;
        uint32_t dataRva = 0;

        if (! readHeaders() || ! findVersionData (dataRva, dataOffset, dataLength))
            return {};

        return readFixedFileVersion (dataRva, dataOffset, dataLength);
    }

private:
    bool readHeaders()
    {
        uint32_t dosMagic = 0, peOffset = 0, peSignature = 0;

        if (! reader.readUInt16 (0, dosMagic) || dosMagic != 0x5a4d // "MZ"
            || ! reader.readUInt32 (0x3c, peOffset)
            || ! reader.readUInt32 (peOffset, peSignature) || peSignature != 0x00004550) // "PE\0\0"
            return false;

        auto coffHeader = (uint64_t) peOffset + 4;
        uint32_t optionalHeaderSize = 0, magic = 0;

        if (! reader.readUInt16 (coffHeader + 2, numberOfSections)
            || ! reader.readUInt16 (coffHeader + 16, optionalHeaderSize))
            return false;

        auto optionalHeader = coffHeader + 20;

        if (! reader.readUInt16 (optionalHeader, magic))
            return false;

        uint64_t rvaCountField = 0;

        if (magic == 0x10b) // PE32
            rvaCountField = 92;
        else if (magic == 0x20b) // PE32+
            rvaCountField = 108;
        else
            return false;

        auto resourceEntry = rvaCountField + 4 + resourceDirectoryIndex * 8;
        uint32_t numberOfRvaAndSizes = 0;

        if (resourceEntry + 8 > optionalHeaderSize
            || ! reader.readUInt32 (optionalHeader + rvaCountField, numberOfRvaAndSizes)
            || numberOfRvaAndSizes <= resourceDirectoryIndex
            || ! reader.readUInt32 (optionalHeader + resourceEntry, resourceRva)
            || ! reader.readUInt32 (optionalHeader + resourceEntry + 4, resourceSize))
            return false;

        sectionTable = optionalHeader + optionalHeaderSize;
        numberOfSections = juce::jmin (numberOfSections, maxSections);
        return resourceRva != 0 && resourceSize != 0;
    }

    // The file offset of an address of the loaded image, and how many bytes of
    // its section follow it in the file.
    bool mapRva (uint32_t rva, uint64_t& offset, uint64_t& available)
    {
        for (uint32_t i = 0; i < numberOfSections; ++i)
        {
            uint8_t header[sectionHeaderSize];

            if (! reader.read (sectionTable + i * sectionHeaderSize, header, sizeof (header)))
                return false;

            auto virtualSize = uint32At (header + 8);
            auto virtualAddress = uint32At (header + 12);
            auto rawSize = uint32At (header + 16);
            auto rawPointer = uint32At (header + 20);
            auto extent = (uint64_t) (virtualSize != 0 ? juce::jmin (virtualSize, rawSize) : rawSize);

            if (rva < virtualAddress || rva - virtualAddress >= extent)
                continue;

            auto delta = (uint64_t) (rva - virtualAddress);
            offset = (uint64_t) rawPointer + delta;

            if (offset >= reader.getSize())
                return false;

            available = juce::jmin (extent - delta, reader.getSize() - offset);
            return true;
        }

        return false;
    }

    struct DirectoryEntry
    {
        uint32_t nameOrId = 0;
        uint32_t target = 0;

        bool isSubdirectory() const { return (target & subdirectoryFlag) != 0; }
        uint64_t getTargetOffset() const { return target & ~subdirectoryFlag; }
    };

    // The directory's first entry, or its first entry with the given id.
    bool findEntry (uint64_t directory, bool anyEntry, uint32_t id, DirectoryEntry& found)
    {
        uint32_t namedEntries = 0, idEntries = 0;

        if (directory + directoryHeaderSize > resourceLength
            || ! reader.readUInt16 (resourceBase + directory + 12, namedEntries)
            || ! reader.readUInt16 (resourceBase + directory + 14, idEntries))
            return false;

        auto count = juce::jmin (namedEntries + idEntries, maxDirectoryEntries);

        for (uint32_t i = 0; i < count; ++i)
        {
            auto entry = directory + directoryHeaderSize + i * directoryEntrySize;
            uint8_t bytes[directoryEntrySize];

            if (entry + directoryEntrySize > resourceLength
                || ! reader.read (resourceBase + entry, bytes, sizeof (bytes)))
                return false;

            found.nameOrId = uint32At (bytes);
            found.target = uint32At (bytes + 4);

            if (anyEntry || found.nameOrId == id)
                return true;
        }

        return false;
    }

    // The version resource: type RT_VERSION, its first name, its first language.
    bool findVersionData (uint32_t& dataRva, uint64_t& dataOffset, uint64_t& dataLength)
    {
        uint64_t available = 0;

        if (! mapRva (resourceRva, resourceBase, available))
            return false;

        resourceLength = juce::jmin ((uint64_t) resourceSize, available);

        DirectoryEntry type, name, language;

        if (! findEntry (0, false, rtVersion, type) || ! type.isSubdirectory()
            || ! findEntry (type.getTargetOffset(), true, 0, name) || ! name.isSubdirectory()
            || ! findEntry (name.getTargetOffset(), true, 0, language) || language.isSubdirectory())
            return false;

        auto dataEntry = language.getTargetOffset();
        uint32_t dataSize = 0;

        if (dataEntry + dataEntrySize > resourceLength
            || ! reader.readUInt32 (resourceBase + dataEntry, dataRva)
            || ! reader.readUInt32 (resourceBase + dataEntry + 4, dataSize)
            || ! mapRva (dataRva, dataOffset, available))
            return false;

        dataLength = juce::jmin ((uint64_t) dataSize, available);
        return true;
    }

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO",
    // padding to 32 bits, then VS_FIXEDFILEINFO.
    juce::String readFixedFileVersion (uint32_t dataRva, uint64_t dataOffset, uint64_t dataLength)
    {
        static const char key[] = "VS_VERSION_INFO";
        constexpr uint64_t keyOffset = 6;
        constexpr uint64_t keyBytes = sizeof (key) * 2;

        auto valueRva = ((uint64_t) dataRva + keyOffset + keyBytes + 3) & ~(uint64_t) 3;
        auto valueOffset = valueRva - dataRva;
        auto declared = valueOffset + fixedFileInfoSize;

        // Of VS_FIXEDFILEINFO only its signature, structure version and file
        // version are read, as Windows does: a file cut after them still has its version.
        auto needed = valueOffset + fixedFileVersionBytes;

        std::array<uint8_t, 64 + fixedFileInfoSize> block;

        if (needed > dataLength || needed > block.size() || ! reader.read (dataOffset, block.data(), (size_t) needed))
            return {};

        auto blockLength = uint16At (block.data());
        auto valueLength = uint16At (block.data() + 2);

        if (blockLength < declared || valueLength < fixedFileInfoSize)
            return {};

        for (size_t i = 0; i < sizeof (key); ++i)
            if (uint16At (block.data() + keyOffset + i * 2) != (uint32_t) (uint8_t) key[i])
                return {};

        auto* value = block.data() + valueOffset;

        if (uint32At (value) != fixedFileInfoSignature)
            return {};

        auto versionMS = uint32At (value + 8);
        auto versionLS = uint32At (value + 12);

        return juce::String (versionMS >> 16) + "." + juce::String (versionMS & 0xffff) + "."
               + juce::String (versionLS >> 16) + "." + juce::String (versionLS & 0xffff);
    }

    WindowedReader reader;
    uint32_t numberOfSections = 0;
    uint64_t sectionTable = 0;
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
    uint64_t resourceBase = 0;
    uint64_t resourceLength = 0;
};

// The size of a regular file, from one query; -1 for anything else or nothing.
juce::int64 getRegularFileSize (const juce::File& file)
{
    std::error_code error;
    auto size = std::filesystem::file_size (std::filesystem::u8path (file.getFullPathName().toRawUTF8()), error);
    return error ? -1 : (juce::int64) size;
}
} // namespace

juce::String PeVersionReader::readFileVersion (const juce::File& file)
{
    // Folders, devices and pipes hold no version; opening a pipe could block.
    auto size = getRegularFileSize (file);

    if (size <= 0)
        return {};

    juce::FileInputStream stream (file);

    if (! stream.openedOk())
        return {};

    return PeFile (stream, size).readVersion();
}

juce::String PeVersionReader::readFileVersion (juce::InputStream& stream)
{
    return PeFile (stream, stream.getTotalLength()).readVersion();
}
