#pragma once

#include "app/Common.h"

// The buffer a download is read into: a memory stream over a caller's block that
// copies from an input stream in plain pieces, without enlarging the block on
// every call as the base class does. Reserve the block once with preallocate.
class FastMemoryOutputStream : public juce::MemoryOutputStream
{
public:
    using juce::MemoryOutputStream::MemoryOutputStream;

    juce::int64 writeFromInputStream (juce::InputStream& source, juce::int64 maxNumBytesToWrite) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FastMemoryOutputStream)
};
