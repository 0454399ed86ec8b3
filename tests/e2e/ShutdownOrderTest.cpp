#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"
#include "ui/MainComponent.h"

#include <atomic>
#include <sys/inotify.h>
#include <unistd.h>

namespace
{
// The download storage address of the test build is http://127.0.0.1:47800/installer.
const int storagePort = 47800;

// An archive that never ends: a steady trickle for as long as the client reads, quick
// enough that the reader's steps end and it can notice that it should stop.
class EndlessArchiveServer
{
public:
    EndlessArchiveServer()
    {
        server.server().Get ("/installer/Plugins/Slow_Synth_Win.zip",
                             [this] (const httplib::Request&, httplib::Response& response)
                             {
                                 response.set_chunked_content_provider ("application/zip",
                                                                        [this] (size_t, httplib::DataSink& sink)
                                                                        {
                                                                            if (stopping || ! sink.is_writable())
                                                                                return false;

                                                                            const std::string piece (16384, 'P');
                                                                            sink.write (piece.data(), piece.size());
                                                                            bytesSent += (int) piece.size();
                                                                            std::this_thread::sleep_for (std::chrono::milliseconds (10));
                                                                            return true;
                                                                        });
                             });
    }

    ~EndlessArchiveServer()
    {
        stopping = true;
        server.stop();
    }

    bool start()
    {
        for (int attempt = 0; attempt < 50; ++attempt)
        {
            if (server.startOn (storagePort))
                return true;

            std::this_thread::sleep_for (std::chrono::milliseconds (100));
        }

        return false;
    }

    std::atomic<int> bytesSent { 0 };

private:
    std::atomic<bool> stopping { false };
    LoopbackServer server;
};

// Names of the files moved into a folder, in the order they arrived; a saved
// settings file arrives that way.
class ArrivalWatch
{
public:
    explicit ArrivalWatch (const juce::File& folder)
    {
        fd = ::inotify_init1 (IN_NONBLOCK);
        ::inotify_add_watch (fd, folder.getFullPathName().toRawUTF8(), IN_MOVED_TO);
    }

    ~ArrivalWatch() { ::close (fd); }

    juce::StringArray read()
    {
        alignas (inotify_event) char buffer[8192];
        ssize_t length;

        while ((length = ::read (fd, buffer, sizeof (buffer))) > 0)
        {
            for (char* p = buffer; p < buffer + length;)
            {
                auto* event = reinterpret_cast<inotify_event*> (p);

                if (event->len > 0)
                    arrivals.add (juce::String::fromUTF8 (event->name));

                p += sizeof (inotify_event) + event->len;
            }
        }

        return arrivals;
    }

private:
    int fd = -1;
    juce::StringArray arrivals;
};

// Runs a check when the component it watches is being deleted.
struct DeletionCheck : public juce::ComponentListener
{
    explicit DeletionCheck (std::function<void()> checkToRun)
        : check (std::move (checkToRun))
    {
    }

    void componentBeingDeleted (juce::Component& component) override
    {
        component.removeComponentListener (this);
        check();
        ran = true;
    }

    std::function<void()> check;
    bool ran = false;
};

VelmoraApplication::MainWindow* findMainWindow()
{
    for (int i = 0; i < juce::TopLevelWindow::getNumTopLevelWindows(); ++i)
        if (auto* window = dynamic_cast<VelmoraApplication::MainWindow*> (juce::TopLevelWindow::getTopLevelWindow (i)))
            return window;

    return nullptr;
}
} // namespace

TEST (ShutdownOrder, TheFolderGoesWhileADownloadRunsThenTheWindowThenTheSignInStoreThenTheSettings)
{
    EndlessArchiveServer server;
    ASSERT_TRUE (server.start()) << "port " << storagePort << " is taken";

    auto* settings = VelmoraApplication::getSettings()->getUserSettings();
    settings->setValue ("xmlAppProducts", "<INSTALLATION_MANAGER><PLUGIN name=\"Slow Synth\" nameView=\"Slow Synth\" folder=\"Plugins\"/></INSTALLATION_MANAGER>");
    settings->saveIfNeeded();

    auto* app = VelmoraApplication::getApp();
    app->initialise ({});

    auto* window = findMainWindow();
    ASSERT_NE (window, nullptr);
    auto* main = dynamic_cast<MainComponent*> (window->getContentComponent());
    ASSERT_NE (main, nullptr);

    // The catalogue cannot be fetched here: its warning is closed and the stored one is used.
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! main->resources.isVisible(); },
                                         30000));
    juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
    ASSERT_EQ (main->installers.size(), 1);

    auto* installer = main->installers[0];
    installer->toggleDownload();
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return server.bytesSent > 100000 && installer->progress >= 0.0; },
                                         20000));

    auto tempFolder = VelmoraApplication::getTempFolder();
    auto settingsFile = VelmoraApplication::getSettings()->getUserSettings()->getFile();
    auto loginFile = VelmoraApplication::getLoginSettings()->getUserSettings()->getFile();
    ASSERT_TRUE (tempFolder.isDirectory());

    // Changes still inside their save delay.
    VelmoraApplication::getSettings()->getUserSettings()->setValue ("vst3Path", "/opt/vst3");
    VelmoraApplication::getLoginSettings()->getUserSettings()->setValue (loginMail, "jane@example.org");
    loginFile.getParentDirectory().createDirectory();
    ArrivalWatch arrivals (settingsFile.getParentDirectory());

    // The main component deletes its notice first, while the downloads still run ...
    main->updateNotice = std::make_unique<DialogImageOk> (juce::Image());
    DeletionCheck whileDownloading ([&]
                                    {
                                        EXPECT_FALSE (tempFolder.exists());
                                        EXPECT_TRUE (installer->isThreadRunning()); });
    main->updateNotice->addComponentListener (&whileDownloading);

    // ... and its toolbar last, once every worker has gone, while both stores still exist.
    DeletionCheck afterTheWorkers ([&]
                                   {
                                       EXPECT_FALSE (tempFolder.exists());
                                       EXPECT_NE (VelmoraApplication::getLoginSettings(), nullptr);
                                       EXPECT_NE (VelmoraApplication::getSettings(), nullptr);
                                       EXPECT_FALSE (loginFile.loadFileAsString().contains ("jane@example.org"));
                                       EXPECT_FALSE (settingsFile.loadFileAsString().contains ("/opt/vst3")); });
    main->toolbar.addComponentListener (&afterTheWorkers);

    app->shutdown();

    EXPECT_TRUE (whileDownloading.ran);
    EXPECT_TRUE (afterTheWorkers.ran);
    EXPECT_EQ (findMainWindow(), nullptr);
    EXPECT_EQ (VelmoraApplication::getSettings(), nullptr);
    EXPECT_EQ (VelmoraApplication::getLoginSettings(), nullptr);

    // The sign-in store wrote its change before the settings store did.
    auto written = arrivals.read();
    EXPECT_EQ (written.joinIntoString (", "), "Vorore Zozavad.settings, Velmora.settings");
    EXPECT_TRUE (loginFile.loadFileAsString().contains ("jane@example.org"));
    EXPECT_TRUE (settingsFile.loadFileAsString().contains ("/opt/vst3"));
    EXPECT_FALSE (tempFolder.exists());
}
