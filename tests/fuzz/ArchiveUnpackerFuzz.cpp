#include "downloads/ArchiveUnpacker.h"

#include <cstddef>
#include <cstdint>

namespace
{
// Holds the target folder and nothing else, so anything written beside it shows.
juce::File getParentFolder()
{
    static const auto parent = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                   .getChildFile ("unpack-fuzz-" + juce::String (juce::Time::currentTimeMillis()));
    return parent;
}
} // namespace

// Any bytes, unpacked into a fresh folder: nothing is written outside it, every file
// reported lies inside it, and no more is written than the limit allows.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    constexpr juce::int64 limit = 4 * 1024 * 1024;

    auto parent = getParentFolder();
    auto target = parent.getChildFile ("target");
    parent.deleteRecursively();

    if (! target.createDirectory())
        __builtin_trap();

    ArchiveUnpacker::Options options;
    options.freeSpace = 1024 * 1024 * 1024;
    options.totalSizeLimit = limit;
    auto result = ArchiveUnpacker::unpack (data, size, target, options);

    for (auto& file : result.writtenFiles)
        if (file != juce::File() && ! file.isAChildOf (target))
            __builtin_trap();

    if (result.allEntriesUnpacked != result.error.isEmpty())
        __builtin_trap();

    if (parent.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*") != 1)
        __builtin_trap();

    juce::int64 written = 0;

    for (auto& entry : juce::RangedDirectoryIterator (target, true, "*", juce::File::findFiles, juce::File::FollowSymlinks::no))
        written += entry.getFileSize();

    if (written > limit)
        __builtin_trap();

    parent.deleteRecursively();
    return 0;
}
