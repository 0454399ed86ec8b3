#pragma once

#include "app/Common.h"

#include <gtest/gtest.h>

// The PE files made at build time by the MinGW binutils.
namespace CatalogTestSupport
{
inline juce::File getFixture (const juce::String& name)
{
    return juce::File (VELMORA_PE_FIXTURE_DIR).getChildFile (name);
}

inline juce::File getVersionFixture (const juce::String& version)
{
    return getFixture ("version-" + version + ".dll");
}

inline juce::MemoryBlock loadFixture (const juce::String& name)
{
    juce::MemoryBlock bytes;
    EXPECT_TRUE (getFixture (name).loadFileAsData (bytes)) << name;
    return bytes;
}

inline uint32_t readUInt16 (const juce::MemoryBlock& bytes, size_t offset)
{
    auto* data = static_cast<const uint8_t*> (bytes.getData());
    return (uint32_t) data[offset] | ((uint32_t) data[offset + 1] << 8);
}

inline uint32_t readUInt32 (const juce::MemoryBlock& bytes, size_t offset)
{
    return readUInt16 (bytes, offset) | (readUInt16 (bytes, offset + 2) << 16);
}

inline void writeUInt16 (juce::MemoryBlock& bytes, size_t offset, uint32_t value)
{
    bytes[offset] = (char) (value & 0xff);
    bytes[offset + 1] = (char) ((value >> 8) & 0xff);
}

inline void writeUInt32 (juce::MemoryBlock& bytes, size_t offset, uint32_t value)
{
    writeUInt16 (bytes, offset, value & 0xffff);
    writeUInt16 (bytes, offset + 2, value >> 16);
}
} // namespace CatalogTestSupport
