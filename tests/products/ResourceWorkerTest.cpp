#include "app/VelmoraApplication.h"
#include "downloads/DownloadResource.h"
#include "downloads/DownloadsTestSupport.h"
#include "products/ProductsTestSupport.h"
#include "ui/MainComponent.h"

#include <atomic>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace ProductsTestSupport;

namespace
{
// The storage endpoint of the test build: http://127.0.0.1:47800/installer
constexpr int storagePort = 47800;

const juce::String earlierCatalogue { "<INSTALLATION_MANAGER productUpdateCount=\"3\"><PLUGIN name=\"Earlier\"/></INSTALLATION_MANAGER>" };

juce::PropertiesFile& store()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

struct Reply
{
    int status = 200;
    std::string body;
    std::string contentType = "application/xml";

    // When set, only this many bytes of the body are sent at first; the rest follows
    // once the server is released.
    std::optional<size_t> holdAfter {};
};

// Serves the catalogue and the image archive at the built-in storage address.
class StorageServer
{
public:
    StorageServer()
    {
        server.server().Get ("/installer/Velmora/AppPlugins.xml", [this] (const httplib::Request&, httplib::Response& response)
                             {
                                 ++catalogueRequests;
                                 answer (catalogue, response); });

        server.server().Get ("/installer/Velmora/Images.zip", [this] (const httplib::Request& request, httplib::Response& response)
                             {
                                 ++imageRequests;
                                 acceptHeader = request.get_header_value ("Accept");
                                 answer (images, response); });
    }

    ~StorageServer()
    {
        released = true;
        server.stop();
    }

    bool start() { return server.startOn (storagePort); }

    // Waits until a held reply has sent its first part.
    bool waitUntilHeld() const
    {
        return TestSupport::pumpUntil ([this]
                                       { return held.load(); });
    }

    Reply catalogue;
    Reply images { 200, {}, "application/zip" };
    std::atomic<int> catalogueRequests { 0 };
    std::atomic<int> imageRequests { 0 };
    std::string acceptHeader;
    std::atomic<bool> held { false }, released { false };

private:
    void answer (const Reply& reply, httplib::Response& response)
    {
        response.status = reply.status;

        if (! reply.holdAfter.has_value())
        {
            response.set_content (reply.body, reply.contentType.c_str());
            return;
        }

        auto body = reply.body;
        auto first = *reply.holdAfter;
        response.set_content_provider (body.size(),
                                       reply.contentType.c_str(),
                                       [this, body, first] (size_t offset, size_t, httplib::DataSink& sink)
                                       {
                                           if (offset < first)
                                           {
                                               if (! sink.write (body.data() + offset, first - offset))
                                                   return false;

                                               held = true;
                                               return true;
                                           }

                                           for (int i = 0; i < 1000 && ! released; ++i)
                                               std::this_thread::sleep_for (std::chrono::milliseconds (10));

                                           return sink.write (body.data() + offset, body.size() - offset);
                                       });
    }

    LoopbackServer server;
};

// Binds a loopback port without listening on it, so that connections are refused;
// or, when listening, lets the system accept them but never answers.
class PortHolder
{
public:
    explicit PortHolder (int port, bool listening = false)
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t) port);
        address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);

        socketHandle = ::socket (AF_INET, SOCK_STREAM, 0);

        if (socketHandle >= 0 && ::bind (socketHandle, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0)
        {
            ::close (socketHandle);
            socketHandle = -1;
        }

        if (socketHandle >= 0 && listening && ::listen (socketHandle, 16) != 0)
        {
            ::close (socketHandle);
            socketHandle = -1;
        }
    }

    ~PortHolder()
    {
        if (socketHandle >= 0)
            ::close (socketHandle);
    }

    bool isHeld() const { return socketHandle >= 0; }

private:
    int socketHandle = -1;

    JUCE_DECLARE_NON_COPYABLE (PortHolder)
};

std::string toStdString (const juce::MemoryBlock& block)
{
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

std::string makeImagesZip()
{
    return toStdString (makeZip ({ { "Alpha.jpg", "first picture" }, { "Beta.jpg", "second picture" } }));
}

class ResourceWorkerTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // A reply still held would keep the worker in its read past its owner's wait.
        storage.released = true;
        closeModalWindows();
    }

    // Runs the worker once, as the main component does, and waits for its message.
    void runWorker()
    {
        changes.count = 0;
        worker->setVisible (true);
        worker->addChangeListener (&changes);
        worker->startThread();

        ASSERT_TRUE (TestSupport::pumpUntil ([this]
                                             { return changes.count > 0; },
                                             30000));
        TestSupport::pumpFor (300);
        worker->removeChangeListener (&changes);

        EXPECT_EQ (changes.count, 1);
        EXPECT_FALSE (worker->isVisible());
        EXPECT_FALSE (worker->isThreadRunning());
    }

    // The table a start-up builds now: the main component's own catalogue worker runs,
    // its change message builds the products, and any warning box of its own is closed.
    juce::StringArray buildListedNames()
    {
        StartedMainComponent main;
        main.updateNotice = nullptr;

        juce::StringArray names;

        for (auto* product : main.listedProducts)
            names.add (product->name);

        return names;
    }

    StorageServer storage;
    std::unique_ptr<DownloadResource> worker = std::make_unique<DownloadResource>();
    ChangeCounter changes;
};

juce::String oneLine (const juce::String& xml)
{
    return juce::parseXML (xml)->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}

std::string utf16WithByteOrderMark (const juce::String& text)
{
    std::string bytes ("\xff\xfe", 2);
    auto* utf16 = text.toUTF16().getAddress();

    for (; *utf16 != 0; ++utf16)
    {
        bytes.push_back ((char) (*utf16 & 0xff));
        bytes.push_back ((char) (*utf16 >> 8));
    }

    return bytes;
}

struct CatalogueCase
{
    const char* label;
    Reply reply;
    int expectedResult;
    std::optional<juce::String> storedAfter; // the earlier catalogue when empty
    juce::StringArray listedAfter;
    const char* boxTitle;
    const char* boxMessage;
};

const juce::String newCatalogue { juce::CharPointer_UTF8 ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                          "<INSTALLATION_MANAGER productUpdateCount=\"3\">\n"
                                                          "  <PLUGIN name=\"New\" nameView=\"N\xc3\xa9o\"/>\n"
                                                          "</INSTALLATION_MANAGER>\n") };

const juce::String lowerCaseCatalogue { "<installation_manager productUpdateCount=\"2\"><plugin name=\"Small\"/></installation_manager>" };

TEST_F (ResourceWorkerTest, OnlyACatalogueReplacesTheStoredOne)
{
    const std::vector<CatalogueCase> cases {
        { "catalogue", { 200, newCatalogue.toStdString() }, 0, oneLine (newCatalogue), { "New" }, nullptr, nullptr },
        { "UTF-16 catalogue", { 200, utf16WithByteOrderMark (newCatalogue) }, 0, oneLine (newCatalogue), { "New" }, nullptr, nullptr },
        { "lower-case root", { 200, lowerCaseCatalogue.toStdString() }, 0, oneLine (lowerCaseCatalogue), { "Small" }, nullptr, nullptr },
        { "404 HTML page", { 404, "<html><head><title>Not found</title></head><body><p>Not found</p></body></html>", "text/html" }, 1, std::nullopt, { "Earlier" }, "Server busy", "Cloase and reopend Velmora" },
        { "portal page that is no XML", { 200, "<!DOCTYPE html><html><body><p>Sign in<br>to the network</body></html>", "text/html" }, 1, std::nullopt, { "Earlier" }, "Server busy", "Cloase and reopend Velmora" },
        { "plain text", { 503, "Service Unavailable", "text/plain" }, 1, std::nullopt, { "Earlier" }, "Server busy", "Cloase and reopend Velmora" },
        { "storage error document", { 500, "<?xml version=\"1.0\"?><Error><Code>SlowDown</Code></Error>" }, 1, std::nullopt, { "Earlier" }, "Server busy", "Cloase and reopend Velmora" },
        { "empty body", { 200, "" }, 1, std::nullopt, { "Earlier" }, "Server busy", "Cloase and reopend Velmora" },
    };

    ASSERT_TRUE (storage.start());

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.label);

        // A count at least as high as any catalogue's here: no image refresh.
        store().setValue ("productUpdateCount", 3);
        storeCatalogue (earlierCatalogue);
        storage.catalogue = c.reply;
        storage.catalogueRequests = 0;
        storage.imageRequests = 0;

        runWorker();

        EXPECT_EQ (storage.catalogueRequests, 1);
        EXPECT_EQ (storage.imageRequests, 0);
        EXPECT_EQ (worker->result, c.expectedResult);
        EXPECT_EQ (store().getValue ("xmlAppProducts"), c.storedAfter.value_or (earlierCatalogue));
        EXPECT_EQ (store().getValue ("productUpdateCount"), "3");

        auto* box = findAlertWindow();

        if (c.boxTitle == nullptr)
        {
            EXPECT_EQ (box, nullptr);
        }
        else if (box == nullptr)
        {
            ADD_FAILURE() << "no warning box";
        }
        else
        {
            EXPECT_EQ (box->getName(), c.boxTitle);
            EXPECT_EQ (box->getDescription(), juce::String (c.boxTitle) + ". " + c.boxMessage);
            EXPECT_EQ (box->getNumButtons(), 1);
            EXPECT_TRUE (box->isCurrentlyModal());
        }

        closeModalWindows();
        EXPECT_EQ (findAlertWindow(), nullptr);

        EXPECT_EQ (buildListedNames(), c.listedAfter);
        EXPECT_EQ (findAlertWindow(), nullptr);

        // The worker runs once per object; each case gets a fresh one.
        worker = std::make_unique<DownloadResource>();
    }
}

TEST_F (ResourceWorkerTest, RefusedConnectionKeepsTheStoredCatalogue)
{
    // The port is held, bound but not listening: connections to it are refused.
    PortHolder holder (storagePort);
    ASSERT_TRUE (holder.isHeld()) << "port " << storagePort << " is in use";

    store().setValue ("productUpdateCount", 1);
    storeCatalogue (earlierCatalogue);

    runWorker();

    EXPECT_EQ (worker->result, 2);
    EXPECT_EQ (store().getValue ("xmlAppProducts"), earlierCatalogue);
    EXPECT_EQ (store().getValue ("productUpdateCount"), "1");
    EXPECT_EQ (worker->progress, -1.0);

    auto* box = findAlertWindow();
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (box->getName(), "No Internet connection");
    EXPECT_EQ (box->getDescription(), "No Internet connection. Make sure to be online");
    closeModalWindows();

    EXPECT_EQ (buildListedNames(), juce::StringArray ({ "Earlier" }));
}

TEST_F (ResourceWorkerTest, AServerThatNeverAnswersEndsAsNoConnectionAfterTheTimeOut)
{
    PortHolder silent (storagePort, true);
    ASSERT_TRUE (silent.isHeld()) << "port " << storagePort << " is in use";

    store().setValue ("productUpdateCount", 1);
    storeCatalogue (earlierCatalogue);

    worker->addChangeListener (&changes);
    worker->startThread();

    // The connection time-out is 2 s; the bound leaves room for a slow machine but
    // not for a time-out of ten times that, or none.
    EXPECT_TRUE (TestSupport::pumpUntil ([this]
                                         { return changes.count > 0; },
                                         6000));
    worker->removeChangeListener (&changes);

    EXPECT_EQ (worker->result, 2);
    EXPECT_EQ (store().getValue ("xmlAppProducts"), earlierCatalogue);
    EXPECT_EQ (store().getValue ("productUpdateCount"), "1");

    auto* box = findAlertWindow();
    ASSERT_NE (box, nullptr);
    EXPECT_EQ (box->getName(), "No Internet connection");
}

TEST_F (ResourceWorkerTest, AnExitRequestCutsTheRunShortWithoutStoringAnything)
{
    const juce::String catalogue { "<INSTALLATION_MANAGER productUpdateCount=\"5\"><PLUGIN name=\"New\"/></INSTALLATION_MANAGER>" };
    const auto images = makeImagesZip();

    struct Case
    {
        const char* what;
        bool duringImages;
        juce::String storedAfter;
        int imageRequests;
    };

    // Cut short in the catalogue read, the whole catalogue has arrived but is neither
    // stored nor looked at; cut short in the image step, the count stays.
    const std::vector<Case> cases {
        { "during the catalogue read", false, earlierCatalogue, 0 },
        { "during the image step", true, oneLine (catalogue), 1 },
    };

    ASSERT_TRUE (storage.start());

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        store().setValue ("productUpdateCount", 1);
        storeCatalogue (earlierCatalogue);
        storage.imageRequests = 0;
        storage.held = false;
        storage.released = false;

        storage.catalogue = { 200, (catalogue + juce::String::repeatedString (" ", 100)).toStdString() };
        storage.images = { 200, images, "application/zip" };

        if (c.duringImages)
            storage.images.holdAfter = images.size() / 2;
        else
            storage.catalogue.holdAfter = (size_t) catalogue.length() + 50;

        worker->startThread();
        ASSERT_TRUE (storage.waitUntilHeld());

        // The destructor's exit request, with the rest of the reply still to come.
        worker->signalThreadShouldExit();
        storage.released = true;
        ASSERT_TRUE (worker->waitForThreadToExit (20000));

        EXPECT_EQ (store().getValue ("xmlAppProducts"), c.storedAfter);
        EXPECT_EQ (store().getValue ("productUpdateCount"), "1");
        EXPECT_EQ (storage.imageRequests, c.imageRequests);

        worker = std::make_unique<DownloadResource>();
        TestSupport::pumpFor (50);
        closeModalWindows();
    }
}

enum class ImagesReply
{
    complete,
    notFound,
    failingEntry,
    cutShort,
    damagedEntry,
    overSizeLimit,
    nameNotUtf8
};

struct ImageCase
{
    const char* label;
    std::optional<int> storedCount;
    std::optional<int> catalogueCount;
    ImagesReply reply;
    bool imagesRequested;
    std::optional<juce::String> countAfter;
    juce::StringArray filesAfter;
};

TEST_F (ResourceWorkerTest, RefreshesTheImagesWhenTheCatalogueCountRises)
{
    const std::vector<ImageCase> cases {
        { "first start, catalogue without count", std::nullopt, std::nullopt, ImagesReply::complete, true, juce::String ("0"), { "Alpha.jpg", "Beta.jpg" } },
        { "count rises", 2, 3, ImagesReply::complete, true, juce::String ("3"), { "Alpha.jpg", "Beta.jpg" } },
        { "count equal", 3, 3, ImagesReply::complete, false, juce::String ("3"), { "Old.jpg" } },
        { "stored count greater", 5, 3, ImagesReply::complete, false, juce::String ("5"), { "Old.jpg" } },
        { "images answer 404 on a first start", std::nullopt, 2, ImagesReply::notFound, true, std::nullopt, {} },
        { "images answer 404", 1, 2, ImagesReply::notFound, true, juce::String ("1"), {} },
        { "an entry fails to unpack", 1, 2, ImagesReply::failingEntry, true, juce::String ("1"), { "Alpha.jpg" } },
        { "archive cut short", 1, 2, ImagesReply::cutShort, true, juce::String ("1"), {} },
        { "second entry damaged", 1, 2, ImagesReply::damagedEntry, true, juce::String ("1"), { "Alpha.jpg" } },
        { "declares more than the image limit", 1, 2, ImagesReply::overSizeLimit, true, juce::String ("1"), {} },
        { "entry name not valid UTF-8", 1, 2, ImagesReply::nameNotUtf8, true, juce::String ("1"), {} },
    };

    auto completeZip = makeImagesZip();
    auto failingZip = toStdString (makeZip ({ { "Alpha.jpg", "first picture" }, { "../Escaped.jpg", "outside" }, { "Gamma.jpg", "third picture" } }));
    ASSERT_FALSE (completeZip.empty());
    ASSERT_FALSE (failingZip.empty());

    // Made by an independent tool: a flipped byte in the second picture; 257 MiB of
    // zeros that deflate to a small archive; a name in Latin-1.
    auto damagedZip = DownloadsTest::makeZip ({ "file:Alpha.jpg=first picture", "file:Beta.jpg=second picture", "--edit", "flip:1:3" });
    auto overSizeLimitZip = DownloadsTest::makeZip ({ "--deflate", "zeros:Alpha.jpg=269484032" });
    auto nameNotUtf8Zip = DownloadsTest::makeZip ({ "file:Alpha.jpg=first picture", "file:Cafe.jpg=second picture", "--edit", "name:1:" + juce::String::toHexString ("Caf\xe9.jpg", 8, 0) });

    ASSERT_TRUE (storage.start());
    auto images = VelmoraApplication::getImagesFolder();

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.label);

        if (c.storedCount.has_value())
            store().setValue ("productUpdateCount", *c.storedCount);
        else
            store().removeValue ("productUpdateCount");

        auto catalogue = juce::String ("<INSTALLATION_MANAGER");

        if (c.catalogueCount.has_value())
            catalogue << " productUpdateCount=\"" << *c.catalogueCount << "\"";

        storage.catalogue = { 200, (catalogue + "><PLUGIN name=\"Alpha\"/></INSTALLATION_MANAGER>").toStdString() };

        switch (c.reply)
        {
            case ImagesReply::complete:
                storage.images = { 200, completeZip, "application/zip" };
                break;
            case ImagesReply::notFound:
                storage.images = { 404, "<html><body>Not found</body></html>", "text/html" };
                break;
            case ImagesReply::failingEntry:
                storage.images = { 200, failingZip, "application/zip" };
                break;
            case ImagesReply::cutShort:
                storage.images = { 200, completeZip.substr (0, completeZip.size() / 2), "application/zip" };
                break;
            case ImagesReply::damagedEntry:
                storage.images = { 200, damagedZip, "application/zip" };
                break;
            case ImagesReply::overSizeLimit:
                storage.images = { 200, overSizeLimitZip, "application/zip" };
                break;
            case ImagesReply::nameNotUtf8:
                storage.images = { 200, nameNotUtf8Zip, "application/zip" };
                break;
        }

        images.deleteRecursively();
        images.getParentDirectory().getChildFile ("Escaped.jpg").deleteFile();
        images.createDirectory();
        ASSERT_TRUE (images.getChildFile ("Old.jpg").replaceWithText ("old picture"));
        storage.imageRequests = 0;

        runWorker();

        EXPECT_EQ (worker->result, 0);
        EXPECT_EQ (storage.imageRequests, c.imagesRequested ? 1 : 0);

        if (c.countAfter.has_value())
        {
            EXPECT_EQ (store().getValue ("productUpdateCount"), *c.countAfter);
        }
        else
        {
            EXPECT_FALSE (store().containsKey ("productUpdateCount"));
        }

        juce::StringArray files;

        for (auto& entry : juce::RangedDirectoryIterator (images, false, "*", juce::File::findFilesAndDirectories))
            files.add (entry.getFile().getFileName());

        files.sort (false);
        EXPECT_EQ (files, c.filesAfter);
        EXPECT_TRUE (images.isDirectory());
        EXPECT_FALSE (images.getParentDirectory().getChildFile ("Escaped.jpg").exists());

        if (c.imagesRequested)
        {
            EXPECT_EQ (storage.acceptHeader, "application/octet-stream");
        }

        if (c.reply == ImagesReply::complete && c.imagesRequested)
        {
            EXPECT_EQ (worker->progress, 1.0);
        }

        if (! c.imagesRequested)
        {
            EXPECT_EQ (worker->progress, -1.0);
        }

        EXPECT_EQ (findAlertWindow(), nullptr);

        worker = std::make_unique<DownloadResource>();
    }
}

TEST_F (ResourceWorkerTest, AFailedRefreshIsTriedAgainAtTheNextStart)
{
    ASSERT_TRUE (storage.start());
    store().setValue ("productUpdateCount", 1);
    storage.catalogue = { 200, "<INSTALLATION_MANAGER productUpdateCount=\"2\"/>" };
    storage.images = { 404, "", "text/plain" };

    runWorker();
    EXPECT_EQ (storage.imageRequests, 1);
    EXPECT_EQ (store().getValue ("productUpdateCount"), "1");

    // The next start: the archive is there now.
    storage.images = { 200, makeImagesZip(), "application/zip" };
    worker = std::make_unique<DownloadResource>();
    runWorker();

    EXPECT_EQ (storage.imageRequests, 2);
    EXPECT_EQ (store().getValue ("productUpdateCount"), "2");
    EXPECT_TRUE (VelmoraApplication::getImagesFolder().getChildFile ("Beta.jpg").existsAsFile());
}
} // namespace
