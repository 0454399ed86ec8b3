#pragma once

#include "app/Common.h"

// Looks at a settings store's file before the framework reads it. A file that the
// framework could not read, or would read as an empty store, is renamed to a dated
// copy beside it ("Velmora.settings.unreadable-20261210-120000"), so the store
// starts empty and its first save overwrites nothing.
class StoreFileCheck
{
public:
    struct Outcome
    {
        // The dated copy, when the file was moved aside.
        juce::File copy;

        // The file had to be moved aside and could not be: the store must not save.
        bool mustNotSave = false;
    };

    static Outcome setAsideIfUnreadable (const juce::File& file);

    // Whether the bytes are a properties file that the framework reads safely and fully.
    static bool isReadableStore (const juce::MemoryBlock& content);

    // The copy's name for the time given, unused yet.
    static juce::File getDatedCopy (const juce::File& file, juce::Time when);

private:
    StoreFileCheck() = delete;
};
