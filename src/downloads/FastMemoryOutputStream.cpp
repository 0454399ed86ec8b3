#include "downloads/FastMemoryOutputStream.h"

juce::int64 FastMemoryOutputStream::writeFromInputStream (juce::InputStream& source, juce::int64 maxNumBytesToWrite)
{
    return juce::OutputStream::writeFromInputStream (source, maxNumBytesToWrite);
}
