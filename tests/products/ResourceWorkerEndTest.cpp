#include "app/VelmoraApplication.h"
#include "downloads/DownloadResource.h"
#include "products/ProductsTestSupport.h"
#include "support/MisbehavingServer.h"

using namespace ProductsTestSupport;
using Behaviour = MisbehavingServer::Behaviour;

namespace
{
// The storage endpoint of the test build: http://127.0.0.1:47800/installer
constexpr int storagePort = 47800;
const std::string cataloguePath { "/installer/Velmora/AppPlugins.xml" };

const juce::String earlierCatalogue { "<INSTALLATION_MANAGER productUpdateCount=\"3\"><PLUGIN name=\"Earlier\"/></INSTALLATION_MANAGER>" };

juce::PropertiesFile& store()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

// A catalogue with many products, announcing new images.
// A catalogue of the given products; each may carry an unused attribute of the given
// length, to make a text that is long to parse yet within the catalogue check's limits.
juce::MemoryBlock makeCatalogue (int numProducts, int paddingLength = 0)
{
    juce::MemoryOutputStream text;
    text << "<INSTALLATION_MANAGER productUpdateCount=\"9\">";
    auto padding = juce::String::repeatedString ("x", paddingLength);

    for (int i = 0; i < numProducts; ++i)
        text << "<PLUGIN name=\"Product " << i << "\" nameView=\"Product " << i << "\" category=\"Reverb\" version=\"1.0." << i
             << "\" note=\"" << padding << "\"/>";

    text << "</INSTALLATION_MANAGER>";
    return text.getMemoryBlock();
}

struct StallCase
{
    const char* name;
    Behaviour behaviour;
    bool catalogueAnswered; // the catalogue arrives and "Images.zip" misbehaves
    size_t stallAfterBytes;
};

class ResourceWorkerDeleted : public ::testing::TestWithParam<StallCase>
{
};
} // namespace

// Deleting the worker (the window closes) while its request stalls ends it without
// killing its thread; a catalogue cut short is not stored, and an image refresh cut
// short leaves the stored count as it was.
TEST_P (ResourceWorkerDeleted, WhileItsRequestStallsEndsWithoutEffect)
{
    auto c = GetParam();
    storeCatalogue (earlierCatalogue);
    store().setValue ("productUpdateCount", 3);

    auto catalogue = makeCatalogue (2);
    std::map<std::string, juce::MemoryBlock> answered;

    if (c.catalogueAnswered)
        answered[cataloguePath] = catalogue;

    juce::MemoryBlock body (200000);
    body.fillWith ('<');
    MisbehavingServer server (c.behaviour, body, 200, c.stallAfterBytes, storagePort, answered);
    ASSERT_TRUE (server.isListening());

    auto worker = std::make_unique<DownloadResource>();
    ChangeCounter changes;
    worker->addChangeListener (&changes);
    worker->startThread();

    ASSERT_TRUE (server.waitForRequest());
    TestSupport::pumpFor (300);
    ASSERT_TRUE (worker->isThreadRunning());

    worker->removeChangeListener (&changes);
    worker = nullptr;

    TestSupport::pumpFor (300);
    EXPECT_EQ (changes.count, 0);
    EXPECT_EQ (store().getIntValue ("productUpdateCount"), 3);

    auto stored = store().getValue ("xmlAppProducts");
    EXPECT_EQ (stored.contains ("Product 1"), c.catalogueAnswered);
    EXPECT_EQ (stored.contains ("Earlier"), ! c.catalogueAnswered);
    closeModalWindows();
}

INSTANTIATE_TEST_SUITE_P (Stalls,
                          ResourceWorkerDeleted,
                          ::testing::Values (StallCase { "catalogueNotAnswered", Behaviour::neverAnswer, false, 0 },
                                             StallCase { "catalogueDripping", Behaviour::drip, false, 0 },
                                             StallCase { "imagesNotAnswered", Behaviour::neverAnswer, true, 0 },
                                             StallCase { "imagesStalledMidBody", Behaviour::stallAfterHeaders, true, 100000 }),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param.name); });

// A catalogue that takes long to parse, with the window closed meanwhile: the worker
// is waited for and stores nothing afterwards.
TEST (ResourceWorker, DeletedWhileALargeCatalogueIsParsedStoresNothing)
{
    storeCatalogue (earlierCatalogue);
    store().setValue ("productUpdateCount", 3);

    MisbehavingServer server (Behaviour::answer, makeCatalogue (9000, 1600), 200, 0, storagePort);
    ASSERT_TRUE (server.isListening());

    auto worker = std::make_unique<DownloadResource>();
    worker->startThread();

    // The catalogue has been read, or nearly: the worker parses it now.
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return server.getAnsweredCount() > 0; },
                                         120000));
    juce::Thread::sleep (300);
    ASSERT_TRUE (worker->isThreadRunning());

    worker = nullptr;

    TestSupport::pumpFor (300);
    EXPECT_TRUE (store().getValue ("xmlAppProducts").contains ("Earlier"));
    EXPECT_EQ (store().getIntValue ("productUpdateCount"), 3);
    closeModalWindows();
}
