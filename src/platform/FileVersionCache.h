#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <unordered_map>

// Remembers, per file, the version read from it together with the file's identity
// and change stamp, so that asking again for a file that has not changed costs one
// metadata query instead of a read. Any change of the stamp reads the file again.
//
// Message thread only: it takes no lock.
class FileVersionCache
{
public:
    using Reader = std::function<juce::String (const juce::File&)>;

    // What tells one state of a file from another, times at the finest resolution
    // the system gives.
    struct Stamp
    {
        juce::uint64 volume = 0; // device, or volume serial number
        juce::uint64 fileId = 0; // inode, or file index
        juce::int64 size = 0;
        juce::int64 modified = 0; // last write
        juce::int64 changed = 0; // last status change
        juce::int64 created = 0; // creation, where the system keeps it
        juce::int64 newestMs = 0; // the newest of those times, in ms since 1970; not compared

        bool operator== (const Stamp& other) const;
    };

    // A file that changed less than this long ago is read at every ask: a second
    // change within the same tick of the file system's clock could leave its stamp
    // as it was.
    static constexpr int defaultSettleTimeMs = 2000;

    explicit FileVersionCache (Reader reader, int settleTimeMs = defaultSettleTimeMs);

    // The reader's answer for the file, from memory when its stamp is unchanged.
    juce::String getVersion (const juce::File& file);

    // The file's stamp from one metadata query (following symbolic links);
    // false when there is none to be had.
    static bool readStamp (const juce::File& file, Stamp& stamp);

private:
    struct Entry
    {
        Stamp stamp;
        juce::String version;
    };

    Reader reader;
    int settleTimeMs;
    std::unordered_map<juce::String, Entry> entries;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FileVersionCache)
};
