#include "WindowsTestSupport.h"
#include "platform/PeVersionReader.h"
#include "platform/PlatformLayer.h"

#include <cstring>

// Our PE reader against the system's GetFileVersionInfo (juce::File::getVersion).
class PeVersionOnWindowsTest : public juce::UnitTest
{
public:
    PeVersionOnWindowsTest()
        : juce::UnitTest ("PE version reading", "Velmora on Windows")
    {
    }

    void runTest() override
    {
        beginTest ("The fixtures' versions, as Windows reads them");

        struct Case
        {
            const char* fixture;
            const char* expected;
        };

        const Case cases[] = {
            { "version-1.0.10.0.dll", "1.0.10.0" },
            { "version-2.3.0.7.dll", "2.3.0.7" },
            { "version-65535.65535.65535.65535.dll", "65535.65535.65535.65535" },
            { "version-0.0.0.0.dll", "0.0.0.0" },
            { "no-version.dll", "" },
            { "no-resources.dll", "" },
        };

        for (auto& c : cases)
        {
            auto file = WindowsTestSupport::fixtureFolder.getChildFile (c.fixture);
            expect (file.existsAsFile(), file.getFullPathName());
            expectEquals (file.getVersion(), juce::String (c.expected), c.fixture);
            expectEquals (PeVersionReader::readFileVersion (file), file.getVersion(), c.fixture);
            expectEquals (PlatformLayer::getFileVersion (file), file.getVersion(), c.fixture);
        }

        beginTest ("Cut copies: the same version once the file version is whole, else none");

        auto folder = juce::File::createTempFile ("cut");
        folder.createDirectory();
        juce::MemoryBlock original;
        WindowsTestSupport::fixtureFolder.getChildFile ("version-1.0.10.0.dll").loadFileAsData (original);

        // The fixed file info's signature, structure version and file version end here.
        const uint8_t signature[] = { 0xbd, 0x04, 0xef, 0xfe };
        size_t versionEnd = 0;

        for (size_t i = 0; i + sizeof (signature) <= original.getSize() && versionEnd == 0; ++i)
            if (std::memcmp (static_cast<const uint8_t*> (original.getData()) + i, signature, sizeof (signature)) == 0)
                versionEnd = i + 16;

        expect (versionEnd > 512 && versionEnd <= original.getSize());

        for (size_t length = 0; length <= original.getSize(); ++length)
        {
            // Around the fixed file info every length, elsewhere every eighth.
            if (length % 8 != 0 && (length + 64 < versionEnd || length > versionEnd + 64))
                continue;

            auto file = folder.getChildFile ("cut-" + juce::String ((int) length) + ".dll");
            file.replaceWithData (original.getData(), length);
            auto ours = PeVersionReader::readFileVersion (file);

            // Short of that, Wine's GetFileVersionInfo reads past the end of the file.
            if (length < versionEnd)
                expectEquals (ours, juce::String(), file.getFileName());
            else
                expectEquals (ours, file.getVersion(), file.getFileName());
        }

        folder.deleteRecursively();

        beginTest ("Velmora.exe holds 1.0.10.0");

        auto program = WindowsTestSupport::programFile;
        expectEquals (program.getVersion(), juce::String ("1.0.10.0"));
        expectEquals (PeVersionReader::readFileVersion (program), program.getVersion());

        beginTest ("Folders, missing and non-PE files have none");

        auto textFile = juce::File::createTempFile ("text.dll");
        textFile.replaceWithText ("MZ is not enough");

        const juce::File files[] = { WindowsTestSupport::fixtureFolder,
                                     WindowsTestSupport::fixtureFolder.getChildFile ("missing.dll"),
                                     textFile };

        for (auto& file : files)
        {
            expectEquals (file.getVersion(), juce::String());
            expectEquals (PlatformLayer::getFileVersion (file), juce::String(), file.getFullPathName());
        }

        textFile.deleteFile();
    }
};

static PeVersionOnWindowsTest peVersionOnWindowsTest;
