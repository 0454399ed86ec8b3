#include "app/StoreFileCheck.h"
#include "app/VelmoraApplication.h"
#include "support/TestSupport.h"

#include <atomic>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace
{
juce::File getSettingsFolder()
{
    return TestSupport::getTestHome().getChildFile (".config/Tavoline Audio");
}

int getMode (const juce::File& file)
{
    struct stat info
    {
    };
    ::stat (file.getFullPathName().toRawUTF8(), &info);
    return (int) (info.st_mode & 0777);
}

// While it lives, this thread reads and searches files as their permissions say,
// root or not: a file of mode 0000 is unreadable to it.
class WithoutFilePermissionOverride
{
public:
    WithoutFilePermissionOverride()
    {
        header.version = _LINUX_CAPABILITY_VERSION_3;
        ::syscall (SYS_capget, &header, saved);

        __user_cap_data_struct reduced[2] = { saved[0], saved[1] };
        auto mask = ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        reduced[0].effective &= mask;
        ::syscall (SYS_capset, &header, reduced);
    }

    ~WithoutFilePermissionOverride()
    {
        ::syscall (SYS_capset, &header, saved);
    }

private:
    __user_cap_header_struct header {};
    __user_cap_data_struct saved[2] {};
};

// Opens a pipe's writing end when a reader waits on it too long, so that a reader
// that blocks on the pipe ends and the test can fail rather than hang.
class PipeWatchdog
{
public:
    explicit PipeWatchdog (const juce::File& pipe)
        : path (pipe.getFullPathName().toStdString())
        , thread ([this]
                  {
                      for (int i = 0; i < 500 && ! done; ++i)
                          std::this_thread::sleep_for (std::chrono::milliseconds (20));

                      while (! done)
                      {
                          auto descriptor = ::open (path.c_str(), O_WRONLY | O_NONBLOCK);

                          if (descriptor >= 0)
                          {
                              ::close (descriptor);
                              unblocked = true;
                          }

                          std::this_thread::sleep_for (std::chrono::milliseconds (20));
                      } })
    {
    }

    ~PipeWatchdog()
    {
        done = true;
        thread.join();
    }

    std::atomic<bool> unblocked { false };

private:
    std::string path;
    std::atomic<bool> done { false };
    std::thread thread;
};

enum class Plant
{
    garbage,
    truncated,
    unreadable,
    folder,
    pipe,
    binaryStore,
    otherRoot
};

struct PlantCase
{
    const char* label;
    Plant plant;
};

const juce::String storedXml ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n  <VALUE name=\"vst3Path\" val=\"/my/vst3\"/>\n  <VALUE name=\"loginMail\" val=\"me@example.com\"/>\n</PROPERTIES>\n");

// Puts the planted thing at the path; gives the bytes a regular file holds.
juce::String plant (const juce::File& file, Plant kind)
{
    file.deleteRecursively();

    switch (kind)
    {
        case Plant::garbage:
            file.replaceWithText ("\x01\x02 not a settings file \xff");
            return file.loadFileAsString();
        case Plant::truncated:
            file.replaceWithText (storedXml.substring (0, storedXml.length() / 2));
            return file.loadFileAsString();
        case Plant::unreadable:
        {
            file.replaceWithText (storedXml);
            auto bytes = file.loadFileAsString();
            ::chmod (file.getFullPathName().toRawUTF8(), 0);
            return bytes;
        }
        case Plant::folder:
            file.getChildFile ("inside.txt").create();
            return {};
        case Plant::pipe:
            ::mkfifo (file.getFullPathName().toRawUTF8(), 0600);
            return {};
        case Plant::binaryStore:
            file.replaceWithText ("PROP\xff\xff\xff\x7f");
            return file.loadFileAsString();
        case Plant::otherRoot:
            file.replaceWithText ("<?xml version=\"1.0\"?><SETTINGS><VALUE name=\"vst3Path\" val=\"/my/vst3\"/></SETTINGS>");
            return file.loadFileAsString();
    }

    return {};
}

class UnreadableSettings : public ::testing::TestWithParam<PlantCase>
{
protected:
    void TearDown() override
    {
        for (auto& copy : getSettingsFolder().findChildFiles (juce::File::findFilesAndDirectories, false, "*.unreadable-*"))
            copy.deleteRecursively();

        // What a failed case left planted must not block the next opening.
        for (auto* name : { "Velmora.settings", "Vorore Zozavad.settings" })
            getSettingsFolder().getChildFile (name).deleteRecursively();

        VelmoraApplication::getApp()->openStoresAndFolders();
    }
};

void PrintTo (const PlantCase& c, std::ostream* out)
{
    *out << c.label;
}
} // namespace

TEST_P (UnreadableSettings, TheOriginalIsKeptAsideAndTheNextChangeIsSaved)
{
    auto& c = GetParam();
    auto folder = getSettingsFolder();
    const juce::File files[] = { folder.getChildFile ("Velmora.settings"), folder.getChildFile ("Vorore Zozavad.settings") };

    VelmoraApplication::getSettings()->saveIfNeeded();
    VelmoraApplication::getLoginSettings()->saveIfNeeded();

    juce::String contents[2];

    for (int i = 0; i < 2; ++i)
        contents[i] = plant (files[i], c.plant);

    {
        PipeWatchdog watchdog (files[0]);
        PipeWatchdog loginWatchdog (files[1]);
        WithoutFilePermissionOverride asOwnerOnly;

        VelmoraApplication::getApp()->openStoresAndFolders();
        EXPECT_EQ (VelmoraApplication::getSettings()->getUserSettings()->getValue ("vst3Path"), "");
        EXPECT_EQ (VelmoraApplication::getLoginSettings()->getUserSettings()->getValue (loginMail), "");

        EXPECT_FALSE (watchdog.unblocked) << "reading the store waited on the pipe";
        EXPECT_FALSE (loginWatchdog.unblocked) << "reading the store waited on the pipe";
    }

    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE (files[i].getFileName());
        auto copies = folder.findChildFiles (juce::File::findFilesAndDirectories, false, files[i].getFileName() + ".unreadable-*");
        ASSERT_EQ (copies.size(), 1);

        auto copy = copies[0];
        auto stamp = copy.getFileName().fromFirstOccurrenceOf (".unreadable-", false, false);
        EXPECT_EQ (stamp.length(), 15) << stamp;
        EXPECT_TRUE (stamp.containsOnly ("0123456789-")) << stamp;

        if (c.plant == Plant::folder)
        {
            EXPECT_TRUE (copy.getChildFile ("inside.txt").existsAsFile());
        }
        else if (c.plant == Plant::pipe)
        {
            struct stat info
            {
            };
            EXPECT_EQ (::lstat (copy.getFullPathName().toRawUTF8(), &info), 0);
            EXPECT_TRUE (S_ISFIFO (info.st_mode));
        }
        else
        {
            ::chmod (copy.getFullPathName().toRawUTF8(), 0600);
            EXPECT_EQ (copy.loadFileAsString(), contents[i]);
        }
    }

    // The next change is written to a plain, private file in the original's place.
    VelmoraApplication::getSettings()->getUserSettings()->setValue ("vst3Path", "/new/vst3");
    VelmoraApplication::getLoginSettings()->getUserSettings()->setValue (loginMail, "new@example.com");
    EXPECT_TRUE (VelmoraApplication::getSettings()->saveIfNeeded());
    EXPECT_TRUE (VelmoraApplication::getLoginSettings()->saveIfNeeded());

    EXPECT_TRUE (files[0].loadFileAsString().contains ("/new/vst3"));
    EXPECT_TRUE (files[1].loadFileAsString().contains ("new@example.com"));
    EXPECT_EQ (getMode (files[0]), 0600);
    EXPECT_EQ (getMode (files[1]), 0600);
}

INSTANTIATE_TEST_SUITE_P (Planted,
                          UnreadableSettings,
                          ::testing::Values (PlantCase { "garbage", Plant::garbage },
                                             PlantCase { "truncated", Plant::truncated },
                                             PlantCase { "unreadable", Plant::unreadable },
                                             PlantCase { "folder", Plant::folder },
                                             PlantCase { "pipe", Plant::pipe },
                                             PlantCase { "binaryStore", Plant::binaryStore },
                                             PlantCase { "otherRoot", Plant::otherRoot }),
                          [] (const ::testing::TestParamInfo<PlantCase>& caseInfo)
                          { return std::string (caseInfo.param.label); });

TEST (SettingsFiles, AReadableStoreIsKeptAndMadePrivate)
{
    auto folder = getSettingsFolder();
    auto file = folder.getChildFile ("Velmora.settings");
    VelmoraApplication::getSettings()->saveIfNeeded();

    // Written by an earlier version, open to everyone.
    ASSERT_TRUE (file.replaceWithText (storedXml));
    ::chmod (file.getFullPathName().toRawUTF8(), 0644);

    VelmoraApplication::getApp()->openStoresAndFolders();

    EXPECT_EQ (VelmoraApplication::getSettings()->getUserSettings()->getValue ("vst3Path"), "/my/vst3");
    EXPECT_TRUE (folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*.unreadable-*").isEmpty());
    EXPECT_EQ (getMode (file), 0600);
    EXPECT_TRUE (VelmoraApplication::getApp()->areSettingsPrivate());

    // An empty file holds nothing to keep.
    ASSERT_TRUE (file.replaceWithText (""));
    VelmoraApplication::getApp()->openStoresAndFolders();
    EXPECT_TRUE (folder.findChildFiles (juce::File::findFilesAndDirectories, false, "*.unreadable-*").isEmpty());
}

TEST (SettingsFiles, ADatedCopyNeverReplacesAnEarlierOne)
{
    auto file = getSettingsFolder().getChildFile ("Velmora.settings");
    auto when = juce::Time (2026, 11, 10, 12, 0, 0);
    auto first = StoreFileCheck::getDatedCopy (file, when);
    EXPECT_EQ (first.getFileName(), "Velmora.settings.unreadable-20261210-120000");

    ASSERT_TRUE (first.replaceWithText ("earlier copy"));
    auto second = StoreFileCheck::getDatedCopy (file, when);
    EXPECT_NE (second, first);
    EXPECT_FALSE (second.exists());
    first.deleteFile();
}

TEST (SettingsFiles, SettingsThatCannotBeMadePrivateAreReportedOnce)
{
    auto folder = getSettingsFolder();
    auto loginFile = folder.getChildFile ("Vorore Zozavad.settings");
    VelmoraApplication::getLoginSettings()->getUserSettings()->setValue (loginPassword, "secret");
    VelmoraApplication::getLoginSettings()->saveIfNeeded();
    ASSERT_TRUE (loginFile.existsAsFile());

    struct Case
    {
        const char* label;
        juce::File owned;
    };

    const Case cases[] = { { "folder of another user", folder }, { "sign-in file of another user", loginFile } };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.label);

        if (::chown (c.owned.getFullPathName().toRawUTF8(), 65534, 65534) != 0)
            GTEST_SKIP() << "cannot give a file to another user here";

        ::chmod (c.owned.getFullPathName().toRawUTF8(), c.owned.isDirectory() ? 0755 : 0644);

        VelmoraApplication::getApp()->openStoresAndFolders();
        EXPECT_FALSE (VelmoraApplication::getApp()->areSettingsPrivate());

        VelmoraApplication::getApp()->warnIfSettingsAreNotPrivate();
        TestSupport::pumpFor (100);

        int boxes = 0;
        juce::AlertWindow* box = nullptr;

        for (int i = 0; i < juce::Desktop::getInstance().getNumComponents(); ++i)
            if (auto* alert = dynamic_cast<juce::AlertWindow*> (juce::Desktop::getInstance().getComponent (i)))
                box = alert, ++boxes;

        EXPECT_EQ (boxes, 1);

        if (box != nullptr)
        {
            EXPECT_EQ (box->getName(), "Settings not private");
            EXPECT_TRUE (box->getDescription().contains (folder.getFullPathName()));
        }

        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        TestSupport::pumpFor (50);

        ::chown (c.owned.getFullPathName().toRawUTF8(), ::geteuid(), ::getegid());
        VelmoraApplication::getApp()->openStoresAndFolders();
        EXPECT_TRUE (VelmoraApplication::getApp()->areSettingsPrivate());
        EXPECT_EQ (getMode (c.owned), c.owned.isDirectory() ? 0700 : 0600);
    }
}
