#include "platform/FileVersionCache.h"
#include "platform/PlatformLayer.h"

#include <windows.h>

juce::File PlatformLayer::getSystemTempFolder()
{
    WCHAR buffer[2048] = {};
    GetTempPathW ((DWORD) juce::numElementsInArray (buffer), buffer);
    return juce::File (juce::String (buffer));
}

juce::File PlatformLayer::createTempFolder (const juce::String& name)
{
    // The user's temporary folder is private to the user already. A file of that
    // name is left alone; the folder gets a fresh name beside it.
    auto folder = getSystemTempFolder().getChildFile (name);

    if (folder.exists() && ! folder.isDirectory())
        folder = folder.getNonexistentSibling (false);

    folder.createDirectory();
    return folder;
}

juce::File PlatformLayer::fileFromPath (const juce::String& path)
{
    return juce::File (path);
}

juce::File PlatformLayer::getProgramFilesFolder()
{
    return juce::File::getSpecialLocation (juce::File::globalApplicationsDirectory);
}

juce::File PlatformLayer::getDesktopFolder()
{
    return juce::File::getSpecialLocation (juce::File::userDesktopDirectory);
}

juce::String PlatformLayer::getSettingsFolderName (const juce::String& folderName)
{
    return folderName;
}

bool PlatformLayer::protectSettings (const juce::File&, const juce::Array<juce::File>&)
{
    // The roaming application data folder is private to its user already.
    return true;
}

PlatformLayer::StoreFileState PlatformLayer::readStoreFile (const juce::File& file, size_t maxBytes, juce::MemoryBlock& content)
{
    auto attributes = GetFileAttributesW (file.getFullPathName().toWideCharPointer());

    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? StoreFileState::missing : StoreFileState::unreadable;

    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return StoreFileState::unreadable;

    juce::FileInputStream in (file);
    auto size = in.getTotalLength();

    if (! in.openedOk() || size < 0 || (juce::uint64) size > (juce::uint64) maxBytes)
        return StoreFileState::unreadable;

    content.setSize ((size_t) size);

    if (size > 0 && in.read (content.getData(), (int) size) != (int) size)
        return StoreFileState::unreadable;

    return StoreFileState::readable;
}

bool PlatformLayer::moveAside (const juce::File& from, const juce::File& to)
{
    return MoveFileExW (from.getFullPathName().toWideCharPointer(), to.getFullPathName().toWideCharPointer(), 0) != 0;
}

juce::String PlatformLayer::getFileVersion (const juce::File& file)
{
    static FileVersionCache cache ([] (const juce::File& f)
                                   { return f.getVersion(); });
    return cache.getVersion (file);
}

void PlatformLayer::startThroughShell (const juce::File& file)
{
    file.startAsProcess();
}

void PlatformLayer::openInBrowser (const juce::URL& address)
{
    address.launchInDefaultBrowser();
}

bool PlatformLayer::needsRepaintFallback()
{
    return true;
}
