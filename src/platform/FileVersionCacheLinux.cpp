#include "platform/FileVersionCache.h"

#include <sys/stat.h>

namespace
{
juce::int64 toNanoseconds (const timespec& time)
{
    return (juce::int64) time.tv_sec * 1000000000 + (juce::int64) time.tv_nsec;
}
} // namespace

bool FileVersionCache::readStamp (const juce::File& file, Stamp& stamp)
{
    struct stat info = {};

    if (file.getFullPathName().isEmpty() || ::stat (file.getFullPathName().toRawUTF8(), &info) != 0)
        return false;

    stamp.volume = (juce::uint64) info.st_dev;
    stamp.fileId = (juce::uint64) info.st_ino;
    stamp.size = (juce::int64) info.st_size;
    stamp.modified = toNanoseconds (info.st_mtim);
    // Any write, rename, link or change of mode moves it, and nobody can set it back.
    stamp.changed = toNanoseconds (info.st_ctim);
    stamp.created = 0;
    stamp.newestMs = juce::jmax (stamp.modified, stamp.changed) / 1000000;
    return true;
}
