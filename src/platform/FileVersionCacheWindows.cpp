#include "platform/FileVersionCache.h"

#include <windows.h>

namespace
{
juce::int64 toTicks (const FILETIME& time)
{
    return (juce::int64) (((juce::uint64) time.dwHighDateTime << 32) | time.dwLowDateTime);
}

// 100 ns ticks since 1601 to milliseconds since 1970.
juce::int64 toMillisecondsSince1970 (juce::int64 ticks)
{
    return (ticks - 116444736000000000LL) / 10000;
}
} // namespace

bool FileVersionCache::readStamp (const juce::File& file, Stamp& stamp)
{
    if (file.getFullPathName().isEmpty())
        return false;

    // Attributes only: this reads nothing and does not clash with the sharing mode of
    // an installer that has the file open. Folders need the backup flag.
    auto handle = CreateFileW (file.getFullPathName().toWideCharPointer(),
                               FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);

    if (handle == INVALID_HANDLE_VALUE)
        return false;

    BY_HANDLE_FILE_INFORMATION info = {};
    FILE_BASIC_INFO basic = {};
    auto ok = GetFileInformationByHandle (handle, &info) != 0
              && GetFileInformationByHandleEx (handle, FileBasicInfo, &basic, sizeof (basic)) != 0;
    CloseHandle (handle);

    if (! ok)
        return false;

    stamp.volume = info.dwVolumeSerialNumber;
    stamp.fileId = ((juce::uint64) info.nFileIndexHigh << 32) | info.nFileIndexLow;
    stamp.size = (juce::int64) (((juce::uint64) info.nFileSizeHigh << 32) | info.nFileSizeLow);
    stamp.modified = toTicks (info.ftLastWriteTime);
    // Moves with any write or rename, also when the last-write time is set back.
    stamp.changed = (juce::int64) basic.ChangeTime.QuadPart;
    stamp.created = toTicks (info.ftCreationTime);
    stamp.newestMs = toMillisecondsSince1970 (juce::jmax (stamp.modified, stamp.changed, stamp.created));
    return true;
}
