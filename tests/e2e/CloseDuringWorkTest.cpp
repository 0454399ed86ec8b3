#include "ProgramProcess.h"
#include "support/MisbehavingServer.h"

namespace
{
using Behaviour = MisbehavingServer::Behaviour;

// The storage endpoint and the account service of the test build share this port.
constexpr int storagePort = 47800;

const juce::String catalogue { "<INSTALLATION_MANAGER productUpdateCount=\"4\" version=\"1.0.10\">"
                               "<PLUGIN name=\"Slow Product\" nameView=\"Slow Product\" category=\"Reverb\" version=\"1.0.0\" file=\"Slow Product\" folder=\"Plugins\"/>"
                               "</INSTALLATION_MANAGER>" };

const juce::String signedIn { "{\"data\":{\"customerAccessTokenCreate\":{\"customerAccessToken\":{\"accessToken\":\"token\"}}}}" };

juce::MemoryBlock toBlock (const juce::String& text)
{
    return juce::MemoryBlock (text.toRawUTF8(), text.getNumBytesAsUTF8());
}

// A settings file as the framework writes it.
void writeSettings (const juce::File& file, const juce::StringPairArray& values)
{
    juce::XmlElement properties ("PROPERTIES");

    for (auto& key : values.getAllKeys())
    {
        auto* value = properties.createNewChildElement ("VALUE");
        value->setAttribute ("name", key);
        value->setAttribute ("val", values[key]);
    }

    file.getParentDirectory().createDirectory();
    properties.writeTo (file);
}

struct CloseCase
{
    const char* name;
    bool imagesStall; // else the images are current and a download drips
};

class ClosedDuringWork : public ::testing::TestWithParam<CloseCase>
{
};
} // namespace

// Closing the window while a worker waits on a slow or stalled link ends the program
// normally: the temporary folder is gone and a setting changed just before is saved.
TEST_P (ClosedDuringWork, EndsNormallyWithTheSettingsWritten)
{
    auto c = GetParam();
    auto home = TestSupport::makeTempFolder ("home");
    ProgramProcess program (home);
    auto settingsFile = program.getSettingsFolder().getChildFile ("Velmora.settings");

    juce::StringPairArray settings;
    settings.set ("xmlAppProducts", "<INSTALLATION_MANAGER><PLUGIN name=\"Earlier\"/></INSTALLATION_MANAGER>");

    if (! c.imagesStall)
        settings.set ("productUpdateCount", "9");

    writeSettings (settingsFile, settings);

    juce::StringPairArray credentials;
    credentials.set ("loginMail", "someone@tavoline-audio.test");
    credentials.set ("loginPassword", "secret");
    writeSettings (program.getSettingsFolder().getChildFile ("Vorore Zozavad.settings"), credentials);

    // Everything is answered at once but the image archive (stalled after part of its
    // body) or the installer archive (32 KiB a second).
    juce::MemoryBlock slowBody (4 * 1024 * 1024);
    slowBody.fillWith (0x55);
    MisbehavingServer server (c.imagesStall ? Behaviour::stallAfterHeaders : Behaviour::drip,
                              slowBody,
                              32 * 1024,
                              70000,
                              storagePort,
                              { { "/installer/Velmora/AppPlugins.xml", toBlock (catalogue) },
                                { "/account/api/login", toBlock (signedIn) } });
    ASSERT_TRUE (server.isListening());

    ASSERT_TRUE (program.start());
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! program.findWindow().isEmpty(); },
                                         30000));

    if (! c.imagesStall)
    {
        // The row's DOWNLOAD button, once the table shows the product.
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return server.getRequestCount() >= 2; },
                                             30000));

        for (int attempt = 0; attempt < 5 && server.getMisbehavedCount() == 0; ++attempt)
        {
            TestSupport::pumpFor (500);
            program.clickInWindow ({ 1 + 1 + 670 + 53, 27 + 50 + 1 + 28 + 35 });
            server.waitForRequest (5000);
        }
    }

    ASSERT_TRUE (server.waitForRequest (30000));
    TestSupport::pumpFor (300);
    ASSERT_TRUE (program.isRunning());
    EXPECT_TRUE (program.getTempFolder().isDirectory());

    // A click that comes while a slow build of the program is still busy at start may be
    // lost; pressing the close button again only asks again to quit.
    for (int attempt = 0; attempt < 4 && program.isRunning(); ++attempt)
    {
        program.findWindow();
        program.pressCloseButton();
        program.waitForExit (15000);
    }

    ASSERT_FALSE (program.isRunning());
    EXPECT_EQ (program.getExitCode(), 0u);
    EXPECT_FALSE (program.getTempFolder().exists());
    EXPECT_TRUE (settingsFile.loadFileAsString().contains ("Slow Product"));
}

INSTANTIATE_TEST_SUITE_P (Workers,
                          ClosedDuringWork,
                          ::testing::Values (CloseCase { "stalledImageRefresh", true },
                                             CloseCase { "slowDownload", false }),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param.name); });
