#pragma once

#include <juce_core/juce_core.h>

// Reads the file version of a Windows PE file's version resource.
class PeVersionReader
{
public:
    // "a.b.c.d", or the empty text for anything that holds no readable version.
    static juce::String readFileVersion (const juce::File& file);

    // The same for the bytes of a stream whose total length is known. Only the
    // headers and the resource bytes it needs are read.
    static juce::String readFileVersion (juce::InputStream& stream);

private:
    PeVersionReader() = delete;
};
