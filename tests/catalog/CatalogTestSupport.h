#pragma once

#include "app/Common.h"

#include <chrono>
#include <filesystem>
#include <functional>
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

// The 1.0.10.0 fixture with another fixed file version: a file of the same size.
inline juce::MemoryBlock fixtureWithFileVersion (uint32_t major, uint32_t minor, uint32_t build, uint32_t revision)
{
    auto bytes = loadFixture ("version-1.0.10.0.dll");

    for (size_t offset = 0; offset + 16 <= bytes.getSize(); ++offset)
    {
        if (readUInt32 (bytes, offset) == 0xfeef04bdu)
        {
            writeUInt32 (bytes, offset + 8, (major << 16) | minor);
            writeUInt32 (bytes, offset + 12, (build << 16) | revision);
            return bytes;
        }
    }

    ADD_FAILURE() << "no fixed file info in the fixture";
    return bytes;
}

inline std::filesystem::path toPath (const juce::File& file)
{
    return std::filesystem::u8path (file.getFullPathName().toRawUTF8());
}

// A modification time within one whole second of an hour ago, the same second at every call.
inline std::filesystem::file_time_type anHourAgoPlus (std::chrono::milliseconds part)
{
    static const auto second = std::chrono::floor<std::chrono::seconds> (std::filesystem::file_time_type::clock::now() - std::chrono::hours (1));
    return second + part;
}

inline void writeFile (const juce::File& file, const juce::MemoryBlock& bytes, std::filesystem::file_time_type modified)
{
    ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize())) << file.getFullPathName();
    std::filesystem::last_write_time (toPath (file), modified);
}

// Rewrites the file's bytes in place: the same file, not a new one.
inline void rewriteInPlace (const juce::File& file, const juce::MemoryBlock& bytes, std::filesystem::file_time_type modified)
{
    {
        juce::FileOutputStream stream (file);
        ASSERT_TRUE (stream.openedOk()) << file.getFullPathName();
        stream.setPosition (0);
        stream.truncate();
        stream.write (bytes.getData(), bytes.getSize());
    }

    std::filesystem::last_write_time (toPath (file), modified);
}

// Ways an installer puts another file of the same size where one was; the original
// was written at anHourAgoPlus (250 ms).
struct Replacement
{
    const char* what;
    std::function<void (const juce::File& file, const juce::MemoryBlock& bytes)> replace;
};

inline std::vector<Replacement> getSameSizeReplacements()
{
    using std::chrono::milliseconds;

    return {
        { "rewritten in place within the same second", [] (auto& file, auto& bytes)
          { rewriteInPlace (file, bytes, anHourAgoPlus (milliseconds (750))); } },
        { "rewritten in place, modification time put back", [] (auto& file, auto& bytes)
          { rewriteInPlace (file, bytes, anHourAgoPlus (milliseconds (250))); } },
        { "replaced through a rename", [] (auto& file, auto& bytes)
          {
              auto fresh = file.getSiblingFile (file.getFileName() + ".new");
              writeFile (fresh, bytes, anHourAgoPlus (milliseconds (250)));
              std::error_code error;
              std::filesystem::rename (toPath (fresh), toPath (file), error);
              ASSERT_FALSE (error) << error.message();
          } },
        { "removed and put back", [] (auto& file, auto& bytes)
          {
              ASSERT_TRUE (file.deleteFile());
              writeFile (file, bytes, anHourAgoPlus (milliseconds (250)));
          } },
    };
}
} // namespace CatalogTestSupport
