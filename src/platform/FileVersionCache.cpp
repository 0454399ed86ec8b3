#include "platform/FileVersionCache.h"

bool FileVersionCache::Stamp::operator== (const Stamp& other) const
{
    return volume == other.volume
           && fileId == other.fileId
           && size == other.size
           && modified == other.modified
           && changed == other.changed
           && created == other.created;
}

FileVersionCache::FileVersionCache (Reader readerToUse, int settleTime)
    : reader (std::move (readerToUse)), settleTimeMs (settleTime)
{
}

juce::String FileVersionCache::getVersion (const juce::File& file)
{
    auto key = file.getFullPathName();

    // The stamp is taken before the read, so a change during the read shows at the next ask.
    Stamp stamp;

    if (! readStamp (file, stamp))
    {
        entries.erase (key);
        return reader (file);
    }

    if (auto found = entries.find (key); found != entries.end())
    {
        if (found->second.stamp == stamp)
            return found->second.version;

        entries.erase (found);
    }

    auto version = reader (file);

    // A failed read is not kept: a file locked by its installer reads fine once it is
    // released, and that need not change its stamp. A file in the future is never settled.
    auto age = juce::Time::currentTimeMillis() - stamp.newestMs;

    if (version.isNotEmpty() && age >= settleTimeMs)
        entries[key] = { stamp, version };

    return version;
}
