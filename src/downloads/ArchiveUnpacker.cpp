#include "downloads/ArchiveUnpacker.h"

#include <array>

namespace
{
// The archive format's CRC-32 (reflected polynomial 0xEDB88320), ours so that no
// zlib of the system is needed beside the framework's own.
juce::uint32 updateCrc32 (juce::uint32 crc, const juce::uint8* data, size_t size)
{
    static const auto table = []
    {
        std::array<juce::uint32, 256> t {};

        for (juce::uint32 i = 0; i < 256; ++i)
        {
            auto c = i;

            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;

            t[i] = c;
        }

        return t;
    }();

    crc = ~crc;

    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);

    return ~crc;
}

constexpr juce::uint32 endRecordSignature = 0x06054b50;
constexpr juce::uint32 zip64LocatorSignature = 0x07064b50;
constexpr juce::uint32 directoryRecordSignature = 0x02014b50;
constexpr juce::uint32 localHeaderSignature = 0x04034b50;
constexpr juce::uint16 zip64ExtraId = 0x0001;
constexpr size_t endRecordSize = 22;
constexpr size_t directoryRecordSize = 46;
constexpr size_t localHeaderSize = 30;
constexpr size_t largestComment = 0xffff;
constexpr int copyBlockSize = 0x10000;

struct DirectoryRecord
{
    juce::String name;
    juce::uint16 flags = 0;
    juce::uint16 method = 0;
    juce::uint16 dosTime = 0;
    juce::uint16 dosDate = 0;
    juce::uint32 crc = 0;
    juce::int64 compressedSize = 0;
    juce::int64 uncompressedSize = 0;
    juce::int64 localHeaderOffset = 0;
    juce::uint32 externalAttributes = 0;
};

// The bytes of the archive, read little-endian with every read bounds-checked by the caller.
struct Bytes
{
    const juce::uint8* data;
    size_t size;

    bool has (size_t offset, size_t length) const { return offset <= size && length <= size - offset; }
    juce::uint16 u16 (size_t offset) const { return (juce::uint16) (data[offset] | (data[offset + 1] << 8)); }

    juce::uint32 u32 (size_t offset) const
    {
        return (juce::uint32) data[offset] | ((juce::uint32) data[offset + 1] << 8)
               | ((juce::uint32) data[offset + 2] << 16) | ((juce::uint32) data[offset + 3] << 24);
    }
};

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF) without a zero code point.
bool isValidName (const juce::uint8* text, size_t length)
{
    size_t i = 0;

    while (i < length)
    {
        auto c = text[i];

        if (c == 0)
            return false;

        if (c < 0x80)
        {
            ++i;
            continue;
        }

        size_t count;
        juce::uint32 codePoint;
        juce::uint32 smallest;

        if ((c & 0xe0) == 0xc0)
        {
            count = 2;
            codePoint = c & 0x1fu;
            smallest = 0x80;
        }
        else if ((c & 0xf0) == 0xe0)
        {
            count = 3;
            codePoint = c & 0x0fu;
            smallest = 0x800;
        }
        else if ((c & 0xf8) == 0xf0)
        {
            count = 4;
            codePoint = c & 0x07u;
            smallest = 0x10000;
        }
        else
        {
            return false;
        }

        if (count > length - i)
            return false;

        for (size_t k = 1; k < count; ++k)
        {
            auto next = text[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            codePoint = (codePoint << 6) | (next & 0x3fu);
        }

        if (codePoint < smallest || codePoint > 0x10ffff || (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;

        i += count;
    }

    return true;
}

bool hasZip64Extra (const Bytes& bytes, size_t offset, size_t length)
{
    auto end = offset + length;

    while (offset + 4 <= end)
    {
        auto id = bytes.u16 (offset);
        auto blockSize = bytes.u16 (offset + 2);

        if (id == zip64ExtraId)
            return true;

        offset += 4 + blockSize;
    }

    return false;
}

// Reads every directory record; an error text when the archive is refused whole.
juce::String readDirectory (const Bytes& bytes, juce::Array<DirectoryRecord>& records, size_t& directoryStart)
{
    if (bytes.size < endRecordSize)
        return "no end record";

    auto lowest = bytes.size - endRecordSize > largestComment ? bytes.size - endRecordSize - largestComment : 0;
    auto endRecord = bytes.size - endRecordSize;

    while (bytes.u32 (endRecord) != endRecordSignature)
    {
        if (endRecord == lowest)
            return "no end record";

        --endRecord;
    }

    if (endRecord >= 20 && bytes.u32 (endRecord - 20) == zip64LocatorSignature)
        return "ZIP64 archive";

    auto diskNumber = bytes.u16 (endRecord + 4);
    auto directoryDisk = bytes.u16 (endRecord + 6);
    auto entriesOnDisk = bytes.u16 (endRecord + 8);
    auto entryCount = bytes.u16 (endRecord + 10);
    auto directorySize = bytes.u32 (endRecord + 12);
    auto directoryOffset = bytes.u32 (endRecord + 16);

    if (directorySize == 0xffffffff || directoryOffset == 0xffffffff)
        return "ZIP64 archive";

    if (diskNumber != 0 || directoryDisk != 0 || entriesOnDisk != entryCount)
        return "archive spans several disks";

    if ((juce::uint64) directoryOffset + directorySize > endRecord)
        return "directory outside the archive";

    directoryStart = directoryOffset;
    auto directoryEnd = (size_t) directoryOffset + directorySize;
    auto position = directoryStart;

    for (int i = 0; i < entryCount; ++i)
    {
        if (! bytes.has (position, directoryRecordSize) || position + directoryRecordSize > directoryEnd
            || bytes.u32 (position) != directoryRecordSignature)
            return "damaged directory";

        auto nameLength = bytes.u16 (position + 28);
        auto extraLength = bytes.u16 (position + 30);
        auto commentLength = bytes.u16 (position + 32);
        auto recordEnd = position + directoryRecordSize + nameLength + extraLength + commentLength;

        if (recordEnd > directoryEnd)
            return "damaged directory";

        DirectoryRecord record;
        record.flags = bytes.u16 (position + 8);
        record.method = bytes.u16 (position + 10);
        record.dosTime = bytes.u16 (position + 12);
        record.dosDate = bytes.u16 (position + 14);
        record.crc = bytes.u32 (position + 16);
        auto compressedSize = bytes.u32 (position + 20);
        auto uncompressedSize = bytes.u32 (position + 24);
        auto localHeaderOffset = bytes.u32 (position + 42);
        record.externalAttributes = bytes.u32 (position + 38);

        if (compressedSize == 0xffffffff || uncompressedSize == 0xffffffff || localHeaderOffset == 0xffffffff
            || bytes.u16 (position + 34) == 0xffff
            || hasZip64Extra (bytes, position + directoryRecordSize + nameLength, extraLength))
            return "ZIP64 archive";

        record.compressedSize = compressedSize;
        record.uncompressedSize = uncompressedSize;
        record.localHeaderOffset = localHeaderOffset;

        auto* name = bytes.data + position + directoryRecordSize;

        if (! isValidName (name, nameLength))
            return "entry name is not valid UTF-8";

        record.name = juce::String::fromUTF8 (reinterpret_cast<const char*> (name), nameLength);
        records.add (record);
        position = recordEnd;
    }

    // More records than the count says: the count was cut to 16 bits.
    if (position != directoryEnd
        || (bytes.has (position, 4) && bytes.u32 (position) == directoryRecordSignature))
        return "more directory records than counted";

    return {};
}

juce::Time dosTimeToTime (juce::uint16 time, juce::uint16 date)
{
    return { 1980 + (date >> 9), ((date >> 5) & 15) - 1, date & 31, time >> 11, (time >> 5) & 63, (time & 31) << 1 };
}

bool hasSymbolicLinkBelow (const juce::File& root, const juce::File& folder)
{
    for (auto f = folder; f != root && f.isAChildOf (root); f = f.getParentDirectory())
        if (f.isSymbolicLink())
            return true;

    return false;
}

// Writes the entry's data to a fresh file, checking size and CRC-32 on the way.
juce::String writeEntryData (const Bytes& bytes, size_t directoryStart, const DirectoryRecord& record, const juce::File& file)
{
    if ((record.flags & 1) != 0)
        return "encrypted entry";

    if (record.method != 0 && record.method != 8)
        return "unsupported compression";

    auto header = (size_t) record.localHeaderOffset;

    if (header + localHeaderSize > directoryStart || bytes.u32 (header) != localHeaderSignature)
        return "damaged local header";

    auto dataStart = header + localHeaderSize + bytes.u16 (header + 26) + bytes.u16 (header + 28);

    if (dataStart > directoryStart || (juce::uint64) record.compressedSize > directoryStart - dataStart)
        return "entry data outside the archive";

    if (record.method == 0 && record.compressedSize != record.uncompressedSize)
        return "stored entry sizes differ";

    juce::MemoryInputStream packed (bytes.data + dataStart, (size_t) record.compressedSize, false);
    std::unique_ptr<juce::InputStream> inflater;

    if (record.method == 8)
        inflater = std::make_unique<juce::GZIPDecompressorInputStream> (&packed, false, juce::GZIPDecompressorInputStream::deflateFormat);

    auto& source = inflater != nullptr ? *inflater : static_cast<juce::InputStream&> (packed);

    juce::FileOutputStream out (file);

    if (out.failedToOpen())
        return "cannot write " + file.getFullPathName();

    juce::HeapBlock<juce::uint8> block (copyBlockSize);
    juce::int64 written = 0;
    juce::uint32 crc = 0;

    for (;;)
    {
        auto n = source.read (block, copyBlockSize);

        if (n <= 0)
            break;

        written += n;

        if (written > record.uncompressedSize)
            return "entry larger than declared";

        crc = updateCrc32 (crc, block, (size_t) n);

        if (! out.write (block, (size_t) n))
            return "cannot write " + file.getFullPathName();
    }

    out.flush();

    if (out.getStatus().failed())
        return "cannot write " + file.getFullPathName();

    if (written != record.uncompressedSize)
        return "entry shorter than declared";

    if ((juce::uint32) crc != record.crc)
        return "CRC-32 mismatch";

    return {};
}

juce::String unpackEntry (const Bytes& bytes, size_t directoryStart, const DirectoryRecord& record, const juce::File& folder, juce::File& written)
{
    if (record.name.isEmpty())
        return {};

    auto target = ArchiveUnpacker::resolveEntryPath (folder, record.name);

    if (target == juce::File())
        return "entry leads outside the target: " + record.name;

    // Symbolic links are not made: a later entry of the same name would be written through them.
    if (((record.externalAttributes >> 28) & 0xf) == 0xa)
        return "symbolic link entry: " + record.name;

    if (hasSymbolicLinkBelow (folder, target.getParentDirectory()))
        return "entry leads through a symbolic link: " + record.name;

    if (record.name.endsWithChar ('/') || record.name.endsWithChar ('\\'))
    {
        if (! target.createDirectory())
            return "cannot create " + target.getFullPathName();

        written = target;
        return {};
    }

    if (target.isDirectory())
        return "a folder is in the way: " + target.getFullPathName();

    if (! target.getParentDirectory().createDirectory())
        return "cannot create " + target.getParentDirectory().getFullPathName();

    juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);
    auto error = writeEntryData (bytes, directoryStart, record, temporary.getFile());

    if (error.isNotEmpty())
        return error + ": " + record.name;

    auto time = dosTimeToTime (record.dosTime, record.dosDate);
    temporary.getFile().setLastModificationTime (time);
    temporary.getFile().setLastAccessTime (time);

    if (! temporary.getFile().moveFileTo (target))
        return "cannot replace " + target.getFullPathName();

    written = target;
    return {};
}
} // namespace

ArchiveUnpacker::Result ArchiveUnpacker::unpack (const void* data, size_t size, const juce::File& targetFolder)
{
    return unpack (data, size, targetFolder, Options());
}

ArchiveUnpacker::Result ArchiveUnpacker::unpack (const void* data, size_t size, const juce::File& targetFolder, const Options& options)
{
    Result result;
    Bytes bytes { static_cast<const juce::uint8*> (data), size };
    juce::Array<DirectoryRecord> records;
    size_t directoryStart = 0;

    result.error = readDirectory (bytes, records, directoryStart);

    if (result.error.isNotEmpty())
        return result;

    if (records.isEmpty())
    {
        result.error = "no entries";
        return result;
    }

    juce::int64 declared = 0;

    for (auto& record : records)
        declared += record.uncompressedSize;

    if (options.totalSizeLimit >= 0 && declared > options.totalSizeLimit)
    {
        result.error = "declared sizes exceed the limit";
        return result;
    }

    auto freeSpace = options.freeSpace >= 0 ? options.freeSpace : targetFolder.getBytesFreeOnVolume();

    if (declared + freeSpaceMargin > freeSpace)
    {
        result.error = "declared sizes exceed the free space";
        return result;
    }

    for (auto& record : records)
    {
        juce::File written;
        result.error = unpackEntry (bytes, directoryStart, record, targetFolder, written);

        if (result.error.isNotEmpty())
            return result;

        result.writtenFiles.add (written);
    }

    result.allEntriesUnpacked = true;
    result.firstEntryName = records.getReference (0).name;
    return result;
}

juce::File ArchiveUnpacker::resolveEntryPath (const juce::File& targetFolder, const juce::String& entryName)
{
#if ! JUCE_WINDOWS
    // Not a separator here, and another reader would take it for one.
    if (entryName.containsChar ('\\'))
        return {};
#endif

    if (entryName.isEmpty())
        return {};

    auto file = targetFolder.getChildFile (entryName);

    if (! file.isAChildOf (targetFolder))
        return {};

    return file;
}
