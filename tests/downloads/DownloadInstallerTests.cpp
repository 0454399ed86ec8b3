#include "DownloadsTestSupport.h"
#include "app/VelmoraApplication.h"
#include "downloads/DownloadInstaller.h"
#include "platform/PlatformLayer.h"

using namespace DownloadsTest;

namespace
{
juce::PropertiesFile& getUserSettings()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

juce::File getTempFolder()
{
    return VelmoraApplication::getTempFolder();
}

// A script that writes the folder it runs in to the marker file, in one step.
juce::String makeMarkerScript (const juce::File& marker)
{
    auto path = marker.getFullPathName();
    return "#!/bin/sh\npwd > '" + path + ".part' && mv '" + path + ".part' '" + path + "'\n";
}

// An installer worker with a server behind it and a count of its change messages.
struct InstallerRun
{
    explicit InstallerRun (const juce::String& path = "/product_Win.zip")
    {
        server.start();
        installer = std::make_unique<DownloadInstaller> (juce::URL (server.getUrl (path)));
        installer->addChangeListener (&changes);
    }

    ~InstallerRun()
    {
        if (installer != nullptr)
            installer->removeChangeListener (&changes);

        installer = nullptr;
        server.stop();
    }

    void serve (const std::string& archive, const juce::String& path = "/product_Win.zip")
    {
        server.server().Get (path.toStdString(), [archive] (const httplib::Request&, httplib::Response& response)
                             { response.set_content (archive, "application/zip"); });
    }

    // Presses DOWNLOAD and waits for the handled end.
    void download()
    {
        auto before = changes.count;
        installer->toggleDownload();
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return changes.count > before; },
                                             30000));
    }

    LoopbackServer server;
    ChangeCounter changes;
    std::unique_ptr<DownloadInstaller> installer;
};

// The browser of the framework's own save dialog, when one is on screen.
juce::FileBrowserComponent* findSaveBrowser()
{
    for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
    {
        std::function<juce::FileBrowserComponent*(juce::Component*)> search = [&] (juce::Component* c) -> juce::FileBrowserComponent*
        {
            if (auto* browser = dynamic_cast<juce::FileBrowserComponent*> (c))
                return browser;

            for (auto* child : c->getChildren())
                if (auto* found = search (child))
                    return found;

            return nullptr;
        };

        if (auto* found = search (juce::Desktop::getInstance().getComponent (i)))
            return found;
    }

    return nullptr;
}

// A stand-in for the desktop's file dialog program, first on PATH for the life of
// the object. Each start records the folder it runs in and its arguments, one a
// line, then prints the chosen file, or exits with 1 as a cancelled dialog does.
class FakeFileDialog
{
public:
    FakeFileDialog()
    {
        auto bin = TestSupport::makeTempFolder ("dialog-bin");
        calls = TestSupport::makeTempFolder ("dialog-calls");
        answer = TestSupport::makeTempFolder ("dialog-answer").getChildFile ("chosen");

        auto call = calls.getChildFile ("zenity").getFullPathName() + "-$$";
        juce::String script;
        script << "#!/bin/sh\n"
               << "f=\"" << call << "\"\n"
               << "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$f.part\"\n"
               << "/bin/mv \"$f.part\" \"$f\"\n"
               << "a=\"" << answer.getFullPathName() << "\"\n"
               << "if [ -f \"$a\" ]; then cat \"$a\"; exit 0; fi\n"
               << "exit 1\n";

        auto program = bin.getChildFile ("zenity");
        program.replaceWithText (script, false, false, "\n");
        program.setExecutePermission (true);

        savedPath = juce::SystemStats::getEnvironmentVariable ("PATH", {});
        ::setenv ("PATH", (bin.getFullPathName() + ":" + savedPath).toRawUTF8(), 1);
        ::unsetenv ("KDE_FULL_SESSION");
    }

    ~FakeFileDialog() { ::setenv ("PATH", savedPath.toRawUTF8(), 1); }

    // The file the next dialog answers with; an empty path cancels it.
    void willChoose (const juce::File& chosen)
    {
        if (chosen == juce::File())
            answer.deleteFile();
        else
            answer.replaceWithText (chosen.getFullPathName());
    }

    // Every start so far, each as its folder and arguments, one a line.
    juce::StringArray getCalls() const
    {
        juce::StringArray found;

        for (auto& file : calls.findChildFiles (juce::File::findFiles, false, "zenity-*"))
            if (! file.hasFileExtension ("part"))
                found.add (file.loadFileAsString().trimEnd());

        return found;
    }

private:
    juce::File calls, answer;
    juce::String savedPath;

    JUCE_DECLARE_NON_COPYABLE (FakeFileDialog)
};
} // namespace

TEST (DownloadInstaller, StartsIdleAndDoesNotRunUntilToggled)
{
    DownloadInstaller installer (juce::URL ("http://127.0.0.1:9/product_Win.zip"));

    EXPECT_EQ (installer.progress, -1.0);
    EXPECT_EQ (installer.row, 0);
    EXPECT_FALSE (installer.isThreadRunning());
    EXPECT_EQ (installer.getThreadName(), "Download Installer");
    EXPECT_TRUE (installer.installerFileName.isEmpty());
    EXPECT_EQ (installer.fileChooser, nullptr);
}

// A refused answer: nothing is read, progress stays 0.0 until the handler runs on
// the message thread, then -1.0 with one change message.
struct RefusedCase
{
    const char* name;
    int status;
};

class DownloadInstallerRefused : public ::testing::TestWithParam<RefusedCase>
{
};

TEST_P (DownloadInstallerRefused, EndsWithoutFilesAfterOneChangeMessage)
{
    auto status = GetParam().status;
    auto archive = makeZip ({ "file:installer.exe=MZ" });

    InstallerRun run;
    run.server.server().Get ("/product_Win.zip", [archive, status] (const httplib::Request&, httplib::Response& response)
                             {
                                 response.status = status;
                                 response.set_content (archive, "application/zip"); });

    run.installer->toggleDownload();
    EXPECT_EQ (run.installer->progress, 0.0);
    ASSERT_TRUE (run.installer->waitForThreadToExit (20000));

    EXPECT_EQ (run.installer->progress, 0.0);
    EXPECT_EQ (run.changes.count, 0);

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return run.changes.count > 0; }));
    TestSupport::pumpFor (100);

    EXPECT_EQ (run.changes.count, 1);
    EXPECT_EQ (run.installer->progress, -1.0);
    EXPECT_TRUE (run.installer->installerFileName.isEmpty());
    EXPECT_EQ (getTempFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

INSTANTIATE_TEST_SUITE_P (Answers,
                          DownloadInstallerRefused,
                          ::testing::Values (RefusedCase { "NotFound", 404 }, RefusedCase { "PartialContent", 206 }),
                          [] (const auto& testInfo)
                          { return std::string (testInfo.param.name); });

TEST (DownloadInstaller, UnreachableArchiveEndsLikeARefusedOne)
{
    DownloadInstaller installer (juce::URL ("http://127.0.0.1:" + juce::String (getClosedLoopbackPort()) + "/product_Win.zip"));
    ChangeCounter changes;
    installer.addChangeListener (&changes);

    installer.toggleDownload();
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return changes.count > 0; },
                                         20000));

    EXPECT_EQ (installer.progress, -1.0);
    EXPECT_TRUE (installer.installerFileName.isEmpty());
    installer.removeChangeListener (&changes);
}

TEST (DownloadInstaller, AnnouncedLengthTooLargeToHoldEndsLikeARefusedArchive)
{
    // No buffer can be reserved for this length; the run must still end and be reported.
    InstallerRun run;
    run.server.server().Get ("/product_Win.zip", [] (const httplib::Request&, httplib::Response& response)
                             { response.set_content_provider ((size_t) 1 << 52,
                                                              "application/zip",
                                                              [] (size_t offset, size_t, httplib::DataSink& sink)
                                                              {
                                                                  if (offset > 0)
                                                                  {
                                                                      std::this_thread::sleep_for (std::chrono::milliseconds (300));
                                                                      return false;
                                                                  }

                                                                  sink.write ("PK", 2);
                                                                  return true;
                                                              }); });

    run.download();

    EXPECT_EQ (run.changes.count, 1);
    EXPECT_EQ (run.installer->progress, -1.0);
    EXPECT_TRUE (run.installer->installerFileName.isEmpty());
    EXPECT_EQ (getTempFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (DownloadInstaller, WithoutStoredSettingStartsTheFirstEntryFromItsSubFolder)
{
    ASSERT_FALSE (getUserSettings().containsKey ("installerAutoLaunch"));

    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");
    auto archive = makeZip ({ "file:Setup/run.sh=" + makeMarkerScript (marker), "file:Setup/data.txt=data" });

    InstallerRun run;
    run.serve (archive);
    run.download();

    EXPECT_EQ (run.installer->installerFileName, "Setup/run.sh");
    EXPECT_EQ (run.installer->progress, -1.0);
    EXPECT_EQ (run.installer->fileChooser, nullptr);

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return marker.existsAsFile(); }));
    EXPECT_EQ (marker.loadFileAsString().trim(), getTempFolder().getChildFile ("Setup").getFullPathName());
    EXPECT_EQ (readFile (getTempFolder().getChildFile ("Setup/data.txt")), "data");
}

TEST (DownloadInstaller, ThirdEntryFailingLeavesTheFirstTwoAndStartsNothing)
{
    getUserSettings().setValue ("installerAutoLaunch", true);

    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");
    auto archive = makeZip ({ "file:run.sh=" + makeMarkerScript (marker),
                              "file:two.txt=2",
                              "file:../escaped.txt=x",
                              "file:four.txt=4" });

    for (auto autoLaunch : { true, false })
    {
        SCOPED_TRACE (autoLaunch ? "auto launch on" : "auto launch off");
        getUserSettings().setValue ("installerAutoLaunch", autoLaunch);
        getTempFolder().deleteRecursively();
        getTempFolder().createDirectory();

        InstallerRun run;
        run.serve (archive);
        run.download();
        TestSupport::pumpFor (500);

        EXPECT_TRUE (run.installer->installerFileName.isEmpty());
        EXPECT_EQ (run.installer->fileChooser, nullptr);
        EXPECT_EQ (run.changes.count, 1);
        EXPECT_TRUE (getTempFolder().getChildFile ("run.sh").existsAsFile());
        EXPECT_TRUE (getTempFolder().getChildFile ("two.txt").existsAsFile());
        EXPECT_FALSE (getTempFolder().getChildFile ("four.txt").exists());
        EXPECT_FALSE (getTempFolder().getSiblingFile ("escaped.txt").exists());
        EXPECT_FALSE (marker.exists());
    }
}

TEST (DownloadInstaller, AutoLaunchOffOffersTheFileOnTheDesktopAndSavesACopy)
{
    getUserSettings().setValue ("installerAutoLaunch", false);
    auto desktop = juce::File::getSpecialLocation (juce::File::userDesktopDirectory);
    ASSERT_TRUE (desktop.createDirectory());

    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");
    auto archive = makeZip ({ "file:Setup/installer.exe=" + makeMarkerScript (marker) });

    InstallerRun run;
    run.serve (archive);
    run.download();

    // The row is already back to DOWNLOAD while the dialog is open.
    EXPECT_EQ (run.installer->progress, -1.0);
    EXPECT_EQ (run.installer->installerFileName, "Setup/installer.exe");
    ASSERT_NE (run.installer->fileChooser, nullptr);

    if (! juce::FileChooser::isPlatformDialogAvailable())
    {
        juce::FileBrowserComponent* browser = nullptr;
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return (browser = findSaveBrowser()) != nullptr; }));
        EXPECT_TRUE (browser->isSaveMode());
        EXPECT_EQ (browser->getSelectedFile (0), desktop.getChildFile ("installer.exe"));
    }

    auto installer = getTempFolder().getChildFile ("Setup/installer.exe");
    auto chosen = TestSupport::makeTempFolder ("chosen").getChildFile ("saved");
    chosen.replaceWithText ("an older file");

    // Cancelled: nothing copied.
    DownloadInstaller::saveInstallerTo (juce::URL(), installer);
    EXPECT_EQ (chosen.loadFileAsString(), "an older file");

    // Chosen: replaced, no extension added, the unpacked file stays.
    DownloadInstaller::saveInstallerTo (juce::URL (chosen), installer);
    EXPECT_EQ (readFile (chosen), readFile (installer));
    EXPECT_FALSE (chosen.withFileExtension ("exe").exists());
    EXPECT_TRUE (installer.existsAsFile());

    TestSupport::pumpFor (300);
    EXPECT_FALSE (marker.exists());
}

TEST (DownloadInstaller, TheSaveDialogCopiesTheInstallerToTheChosenFileOnly)
{
    FakeFileDialog dialog;
    ASSERT_TRUE (juce::FileChooser::isPlatformDialogAvailable());

    getUserSettings().setValue ("installerAutoLaunch", false);
    auto desktop = PlatformLayer::getDesktopFolder();
    ASSERT_TRUE (desktop.createDirectory());

    const std::string content ("MZ the installer itself");
    auto archive = makeZip ({ "file:Setup/installer.exe=" + juce::String (content) });
    auto chosen = TestSupport::makeTempFolder ("chosen").getChildFile ("saved");

    struct Case
    {
        const char* what;
        bool choose;
        std::string chosenAfter;
    };

    // The dialog runs as it is: title, first folder and file name, no overwrite warning.
    const auto expectedCall = desktop.getFullPathName() + "\n--file-selection\n--title=Save installer\n--save\n--filename=installer.exe";

    const std::vector<Case> cases {
        { "cancelled", false, "an older file" },
        { "chosen file replaced, no extension added", true, content },
    };

    InstallerRun run;
    run.serve (archive);

    for (size_t i = 0; i < cases.size(); ++i)
    {
        auto& c = cases[i];
        SCOPED_TRACE (c.what);
        chosen.replaceWithText ("an older file");
        dialog.willChoose (c.choose ? chosen : juce::File());

        run.download();
        ASSERT_NE (run.installer->fileChooser, nullptr);
        ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                             { return dialog.getCalls().size() > (int) i; }));
        EXPECT_EQ (dialog.getCalls()[(int) i], expectedCall);

        // The framework notices the dialog's end within a tenth of a second, then
        // runs the completion; a copy made on cancelling would show by then.
        if (c.choose)
            TestSupport::pumpUntil ([&]
                                    { return readFile (chosen) == content; });

        TestSupport::pumpFor (600);

        EXPECT_EQ (readFile (chosen), c.chosenAfter);
        EXPECT_FALSE (chosen.withFileExtension ("exe").exists());
        EXPECT_FALSE (desktop.getChildFile ("installer.exe").exists());
        EXPECT_EQ (readFile (getTempFolder().getChildFile ("Setup/installer.exe")), content);
    }

    EXPECT_EQ (dialog.getCalls().size(), 2);
}

TEST (DownloadInstaller, StopDuringADownloadWritesNothing)
{
    auto marker = TestSupport::getTestHome().getChildFile ("started.marker");
    auto archive = makeZip ({ "file:run.sh=" + makeMarkerScript (marker), "random:big.bin=2000000" });

    InstallerRun run;
    serveSlowly (run.server.server(), "/product_Win.zip", archive, 65536, 20);

    run.installer->toggleDownload();
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return run.installer->progress > 0.0; }));
    run.installer->toggleDownload(); // STOP
    EXPECT_TRUE (run.installer->stopRequested.load());

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return run.changes.count > 0; }));
    TestSupport::pumpFor (300);

    EXPECT_EQ (run.changes.count, 1);
    EXPECT_EQ (run.installer->progress, -1.0);
    EXPECT_TRUE (run.installer->installerFileName.isEmpty());
    EXPECT_EQ (getTempFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    EXPECT_FALSE (marker.exists());

    // The next press starts afresh.
    run.installer->toggleDownload();
    EXPECT_FALSE (run.installer->stopRequested.load());
    EXPECT_EQ (run.installer->progress, 0.0);
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return run.changes.count > 1; },
                                         30000));
    EXPECT_EQ (run.installer->installerFileName, "run.sh");
}

TEST (DownloadInstaller, DestroyedDuringADownloadPostsNothing)
{
    auto archive = makeZip ({ "random:big.bin=3000000" });

    InstallerRun run;
    serveSlowly (run.server.server(), "/product_Win.zip", archive, 65536, 20);

    run.installer->toggleDownload();
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return run.installer->progress > 0.0; }));

    run.installer->removeChangeListener (&run.changes);
    ChangeCounter late;
    run.installer->addChangeListener (&late);

    // The destructor's first step is the exit request; take it alone, so that the
    // worker is still there to deliver anything the run posted.
    run.installer->signalThreadShouldExit();
    ASSERT_TRUE (run.installer->waitForThreadToExit (10000));
    EXPECT_FALSE (run.installer->isUpdatePending());

    TestSupport::pumpFor (300);
    EXPECT_EQ (late.count, 0);
    EXPECT_GT (run.installer->progress, 0.0);
    EXPECT_EQ (run.installer->fileChooser, nullptr);

    run.installer = nullptr;

    TestSupport::pumpFor (500);
    EXPECT_EQ (late.count, 0);
    EXPECT_EQ (getTempFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (DownloadInstaller, SecondDownloadReplacesTheFilesAndClearsTheName)
{
    getUserSettings().setValue ("installerAutoLaunch", false);

    std::atomic<int> version { 1 };
    auto first = makeZip ({ "file:Setup/app.txt=first", "file:Setup/only-first.txt=1" });
    auto second = makeZip ({ "file:Setup/app.txt=second" });

    InstallerRun run;
    run.server.server().Get ("/product_Win.zip", [&] (const httplib::Request&, httplib::Response& response)
                             {
                                 if (version == 3)
                                     response.status = 404;
                                 else
                                     response.set_content (version == 1 ? first : second, "application/zip"); });

    run.download();
    EXPECT_EQ (run.installer->installerFileName, "Setup/app.txt");
    EXPECT_EQ (readFile (getTempFolder().getChildFile ("Setup/app.txt")), "first");
    EXPECT_NE (run.installer->fileChooser, nullptr);

    version = 2;
    run.download();
    EXPECT_EQ (readFile (getTempFolder().getChildFile ("Setup/app.txt")), "second");
    EXPECT_TRUE (getTempFolder().getChildFile ("Setup/only-first.txt").existsAsFile());
    EXPECT_NE (run.installer->fileChooser, nullptr);

    version = 3;
    run.download();
    EXPECT_TRUE (run.installer->installerFileName.isEmpty());
    EXPECT_EQ (run.changes.count, 3);
}

TEST (DownloadInstaller, SaveDialogCopiesTheFileUnpackedForTheFirstEntry)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "the system's own save dialog cannot be driven from here";

    getUserSettings().setValue ("installerAutoLaunch", false);
    ASSERT_TRUE (juce::File::getSpecialLocation (juce::File::userDesktopDirectory).createDirectory());

    // A file of the same name beside the folder entry must not be the one copied.
    auto archive = makeZip ({ "file:Setup/installer.exe=the first entry", "file:installer.exe=another file of that name" });

    InstallerRun run;
    run.serve (archive);
    run.download();

    juce::FileBrowserComponent* browser = nullptr;
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return (browser = findSaveBrowser()) != nullptr; }));

    auto chosen = TestSupport::makeTempFolder ("chosen").getChildFile ("saved");
    browser->setFileName (chosen.getFullPathName());

    juce::TextButton* save = nullptr;

    for (auto* c = browser->getParentComponent(); c != nullptr && save == nullptr; c = c->getParentComponent())
        for (auto* child : c->getChildren())
            if (auto* button = dynamic_cast<juce::TextButton*> (child); button != nullptr && button->getButtonText() == "Save")
                save = button;

    ASSERT_NE (save, nullptr);
    save->triggerClick();

    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return chosen.existsAsFile(); }));
    EXPECT_EQ (readFile (chosen), "the first entry");
}
