#pragma once

#include <juce_core/juce_core.h>

// Reads the file version of a Windows PE file's version resource.
class PeVersionReader
{
public:
    // "a.b.c.d", or the empty text for anything that holds no readable version.
    static juce::String readFileVersion (const juce::File& file);

private:
    PeVersionReader() = delete;
};
