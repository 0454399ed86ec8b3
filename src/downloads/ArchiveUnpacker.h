#pragma once

#include <juce_core/juce_core.h>

// Unpacks a ZIP archive held in memory into a folder. The central directory is read
// and checked before anything is written: an archive with a ZIP64 record, more
// directory records than its count says, an entry name that is not valid UTF-8, or
// declared sizes that do not fit the target's free space (or the given limit) is
// refused whole. Each entry is then written to a temporary file beside its target,
// checked against the size and CRC-32 of its directory record while it is written,
// and moved into place only when both match. Unpacking stops at the first entry
// that fails; the entries before it stay.
class ArchiveUnpacker
{
public:
    struct Options
    {
        juce::int64 totalSizeLimit = -1; // largest sum of declared sizes; -1 for none
        juce::int64 freeSpace = -1; // bytes free at the target; -1 asks its volume
    };

    struct Result
    {
        bool allEntriesUnpacked = false; // every entry unpacked and at least one entry
        juce::String firstEntryName; // as the archive stores it; set only when allEntriesUnpacked
        juce::Array<juce::File> writtenFiles; // per unpacked entry, the file or folder written
        juce::String error; // why unpacking stopped
    };

    // Room left on the target's file system beyond the declared sizes.
    static constexpr juce::int64 freeSpaceMargin = 64 * 1024 * 1024;

    static Result unpack (const void* data, size_t size, const juce::File& targetFolder, const Options& options);
    static Result unpack (const void* data, size_t size, const juce::File& targetFolder);

    // The file that an entry of this name is written to, or juce::File() when the
    // name leads outside the folder or cannot be written on this system.
    static juce::File resolveEntryPath (const juce::File& targetFolder, const juce::String& entryName);

private:
    ArchiveUnpacker() = delete;
};
