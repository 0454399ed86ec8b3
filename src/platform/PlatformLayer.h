#pragma once

#include <juce_core/juce_core.h>

// The few Windows calls the program needs, behind one interface.
// PlatformLayerWindows.cpp makes the real calls; PlatformLayerLinux.cpp is the
// stand-in that lets the program run here.
class PlatformLayer
{
public:
    // The current user's temporary folder (GetTempPathW), private to the user.
    static juce::File getSystemTempFolder();

    // Makes the folder of that name in the user's temporary folder, owner-only, and
    // returns it. A path there that is not a folder of the user's own is left alone
    // and a fresh private folder is made beside it instead.
    static juce::File createTempFolder (const juce::String& name);

    // A folder or file named by a settings text or a Windows default such as
    // "C:/Program Files/Common Files/VST3". The text itself is never changed.
    static juce::File fileFromPath (const juce::String& path);

    // The system's Program Files folder.
    static juce::File getProgramFilesFolder();

    // The user's desktop, where the save dialog starts.
    static juce::File getDesktopFolder();

    // The folder name handed to the settings stores' options.
    static juce::String getSettingsFolderName (const juce::String& folderName);

    // Makes the settings folder and those of the files that exist private to the
    // user, and every file the program creates from then on too. False when the
    // folder or one of the files is not the user's own or stays open to others.
    static bool protectSettings (const juce::File& folder, const juce::Array<juce::File>& files);

    // What lies at a settings store's path. Bytes are read only from a plain file
    // (never from a pipe or a device) and only up to the given size; a larger file
    // counts as unreadable.
    enum class StoreFileState
    {
        missing,
        readable,
        unreadable
    };

    static StoreFileState readStoreFile (const juce::File& file, size_t maxBytes, juce::MemoryBlock& content);

    // Renames whatever lies at the path, a folder, a pipe or a link, without opening it.
    static bool moveAside (const juce::File& from, const juce::File& to);

    // The file version from the file's version resource ("1.0.10.0"), or the
    // empty text when it has none. A file is read again only when it changed.
    // Message thread only.
    static juce::String getFileVersion (const juce::File& file);

    // Starts an unpacked installer through the shell; the outcome is ignored.
    static void startThroughShell (const juce::File& file);

    // Opens the address in the default web browser, never through a command line;
    // the outcome is ignored.
    static void openInBrowser (const juce::URL& address);

    // Whether the program's windows need a RepaintFallback: on Windows a window's
    // repaints wait for its display's vertical blank, which some displays never report.
    static bool needsRepaintFallback();

private:
    PlatformLayer() = delete;
};
