#include "platform/PeVersionReader.h"

#include <cstddef>
#include <cstdint>

// Any bytes: the reader returns a version text or nothing, and reads only inside them.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::MemoryInputStream stream (data, size, false);
    auto version = PeVersionReader::readFileVersion (stream);

    if (version.isNotEmpty() && juce::StringArray::fromTokens (version, ".", "").size() != 4)
        __builtin_trap();

    return 0;
}
