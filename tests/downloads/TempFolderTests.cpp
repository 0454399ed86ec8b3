#include "DownloadsTestSupport.h"
#include "app/VelmoraApplication.h"
#include "downloads/DownloadInstaller.h"
#include "platform/PlatformLayer.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace DownloadsTest;

namespace
{
const juce::String folderName ("Tavoline Audio Velmora");

// The uid of "nobody": another user of the machine.
constexpr uid_t strangerUid = 65534;

void giveToStranger (const juce::File& file)
{
    ASSERT_EQ (::lchown (file.getFullPathName().toRawUTF8(), strangerUid, strangerUid), 0);
}

struct stat statWithoutFollowing (const juce::File& file)
{
    struct stat info = {};
    ::lstat (file.getFullPathName().toRawUTF8(), &info);
    return info;
}

// Everything about a path that a write, a deletion or a change of mode would
// change: its kind, owner, mode and time, its link target, and the same for
// what lies below it (without following links).
juce::String describe (const juce::File& file)
{
    auto info = statWithoutFollowing (file);
    auto text = file.getFullPathName() + " " + juce::String (info.st_mode) + " " + juce::String (info.st_uid) + " "
                + juce::String ((juce::int64) info.st_mtim.tv_sec) + "." + juce::String ((juce::int64) info.st_mtim.tv_nsec);

    if (S_ISLNK (info.st_mode))
        return text + " -> " + file.getLinkedTarget().getFullPathName();

    if (S_ISREG (info.st_mode))
        return text + " " + file.loadFileAsString();

    if (S_ISDIR (info.st_mode))
    {
        juce::StringArray children;

        for (auto& child : file.findChildFiles (juce::File::findFilesAndDirectories, false))
            children.add (describe (child));

        children.sort (false);
        text << "\n"
             << children.joinIntoString ("\n");
    }

    return text;
}

// What another user has made: the folder's name, in each place the program could
// look for it, taken by one of their things. Their own folder, and one of the
// user's that a link of theirs could point at, are there to be pointed at.
struct PlantCase
{
    const char* name;
    std::function<void (const juce::File& path, const juce::File& strangersFolder, const juce::File& usersFolder)> plant;
};

void PrintTo (const PlantCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class PlantedTempFolder : public ::testing::TestWithParam<PlantCase>
{
};
} // namespace

TEST_P (PlantedTempFolder, IsLeftAloneAndDownloadsUseAPrivateFolder)
{
    auto home = TestSupport::getTestHome();
    auto strangersFolder = home.getChildFile ("stranger");
    ASSERT_TRUE (strangersFolder.createDirectory());
    ASSERT_TRUE (strangersFolder.getChildFile ("theirs.txt").replaceWithText ("theirs"));
    ::chmod (strangersFolder.getFullPathName().toRawUTF8(), 0777);
    giveToStranger (strangersFolder.getChildFile ("theirs.txt"));
    giveToStranger (strangersFolder);

    auto usersFolder = home.getChildFile ("documents");
    ASSERT_TRUE (usersFolder.createDirectory());
    ASSERT_TRUE (usersFolder.getChildFile ("mine.txt").replaceWithText ("mine"));

    // Where the folder would be: in the shared temporary folder and in the user's cache.
    auto cache = home.getChildFile (".cache");
    const juce::File places[] = { juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (folderName),
                                  cache.getChildFile (folderName) };

    VelmoraApplication::getTempFolder().deleteRecursively();

    for (auto& place : places)
    {
        ASSERT_TRUE (place.getParentDirectory().createDirectory());
        place.deleteRecursively();
        GetParam().plant (place, strangersFolder, usersFolder);
    }

    juce::StringArray before;

    for (auto& place : places)
        before.add (describe (place));

    before.add (describe (strangersFolder));
    before.add (describe (usersFolder));

    auto* app = VelmoraApplication::getApp();
    app->openStoresAndFolders();

    // A fresh folder of the user's own, owner-only, beside the planted one.
    auto temp = VelmoraApplication::getTempFolder();
    auto info = statWithoutFollowing (temp);
    EXPECT_EQ (temp.getParentDirectory().getFullPathName(), cache.getFullPathName());
    EXPECT_TRUE (temp.getFileName().startsWith (folderName + "-")) << temp.getFullPathName();
    EXPECT_TRUE (S_ISDIR (info.st_mode));
    EXPECT_EQ (info.st_uid, ::geteuid());
    EXPECT_EQ (info.st_mode & 07777, 0700u);

    // An installer download is unpacked there and started from there.
    {
        auto marker = home.getChildFile ("started.marker");
        auto script = "#!/bin/sh\npwd > '" + marker.getFullPathName() + ".part' && mv '" + marker.getFullPathName() + ".part' '" + marker.getFullPathName() + "'\n";
        auto archive = makeZip ({ "file:Setup/run.sh=" + script });

        LoopbackServer server;
        server.server().Get ("/product_Win.zip", [archive] (const httplib::Request&, httplib::Response& response)
                             { response.set_content (archive, "application/zip"); });
        server.start();

        DownloadInstaller installer (juce::URL (server.getUrl ("/product_Win.zip")));
        ChangeCounter changes;
        installer.addChangeListener (&changes);
        installer.toggleDownload();
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return changes.count > 0; },
                                             30000));
        installer.removeChangeListener (&changes);

        EXPECT_EQ (installer.installerFileName, "Setup/run.sh");
        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return marker.existsAsFile(); }));
        EXPECT_EQ (marker.loadFileAsString().trim(), temp.getChildFile ("Setup").getFullPathName());
        server.stop();
    }

    app->shutdown();
    EXPECT_FALSE (temp.exists());

    juce::StringArray after;

    for (auto& place : places)
        after.add (describe (place));

    after.add (describe (strangersFolder));
    after.add (describe (usersFolder));
    EXPECT_EQ (after.joinIntoString ("\n"), before.joinIntoString ("\n"));

    // Leave the process as its environment made it.
    app->openStoresAndFolders();
}

INSTANTIATE_TEST_SUITE_P (
    Planted,
    PlantedTempFolder,
    ::testing::Values (
        PlantCase { "LinkToAnotherUsersFolder", [] (const juce::File& path, const juce::File& strangersFolder, const juce::File&)
                    {
                        ASSERT_TRUE (strangersFolder.createSymbolicLink (path, false));
                        giveToStranger (path);
                    } },
        PlantCase { "LinkToAFolderOfTheUsersOwn", [] (const juce::File& path, const juce::File&, const juce::File& usersFolder)
                    {
                        ASSERT_TRUE (usersFolder.createSymbolicLink (path, false));
                        giveToStranger (path);
                    } },
        PlantCase { "DanglingLink", [] (const juce::File& path, const juce::File& strangersFolder, const juce::File&)
                    {
                        ASSERT_TRUE (strangersFolder.getChildFile ("made-for-me-" + path.getParentDirectory().getFileName()).createSymbolicLink (path, false));
                        giveToStranger (path);
                    } },
        PlantCase { "PlainFile", [] (const juce::File& path, const juce::File&, const juce::File&)
                    {
                        ASSERT_TRUE (path.replaceWithText ("not a folder"));
                        giveToStranger (path);
                    } },
        PlantCase { "AnotherUsersFolder", [] (const juce::File& path, const juce::File&, const juce::File&)
                    {
                        ASSERT_TRUE (path.createDirectory());
                        ASSERT_TRUE (path.getChildFile ("theirs.txt").replaceWithText ("theirs"));
                        ::chmod (path.getFullPathName().toRawUTF8(), 0777);
                        giveToStranger (path.getChildFile ("theirs.txt"));
                        giveToStranger (path);
                    } }),
    [] (const auto& testInfo)
    { return std::string (testInfo.param.name); });

// Where the folder goes for each setting of XDG_RUNTIME_DIR and XDG_CACHE_HOME.
TEST (TempFolder, LivesInThePrivateRuntimeFolderElseInTheUsersCache)
{
    enum class Expect
    {
        runtime,
        cacheHome,
        homeCache
    };

    struct Case
    {
        const char* name;
        const char* runtime; // nullptr: unset; "made": a folder made with runtimeMode
        mode_t runtimeMode;
        bool runtimeIsStrangers;
        const char* cacheHome; // nullptr: unset; "made": an absolute folder
        Expect expect;
    };

    const Case cases[] = {
        { "private runtime folder", "made", 0700, false, "made", Expect::runtime },
        { "runtime folder others may enter", "made", 0755, false, nullptr, Expect::homeCache },
        { "runtime folder of another user", "made", 0700, true, nullptr, Expect::homeCache },
        { "runtime folder missing", "/nonexistent/runtime", 0, false, nullptr, Expect::homeCache },
        { "relative runtime folder", "run/user", 0, false, nullptr, Expect::homeCache },
        { "no runtime folder, cache home set", nullptr, 0, false, "made", Expect::cacheHome },
        { "relative cache home", nullptr, 0, false, "cache", Expect::homeCache },
        { "neither set", nullptr, 0, false, nullptr, Expect::homeCache },
    };

    auto setOrUnset = [] (const char* variable, const juce::String& value, bool set)
    {
        if (set)
            ::setenv (variable, value.toRawUTF8(), 1);
        else
            ::unsetenv (variable);
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto runtime = juce::String (c.runtime);
        auto cacheHome = juce::String (c.cacheHome);

        if (runtime == "made")
        {
            auto made = TestSupport::makeTempFolder ("runtime");
            ::chmod (made.getFullPathName().toRawUTF8(), c.runtimeMode);

            if (c.runtimeIsStrangers)
                giveToStranger (made);

            runtime = made.getFullPathName();
        }

        if (cacheHome == "made")
            cacheHome = TestSupport::makeTempFolder ("cache-home").getChildFile ("not yet made").getFullPathName();

        setOrUnset ("XDG_RUNTIME_DIR", runtime, c.runtime != nullptr);
        setOrUnset ("XDG_CACHE_HOME", cacheHome, c.cacheHome != nullptr);

        auto folder = PlatformLayer::createTempFolder (folderName);

        ::unsetenv ("XDG_RUNTIME_DIR");
        ::unsetenv ("XDG_CACHE_HOME");

        auto expectedParent = c.expect == Expect::runtime     ? juce::File (runtime)
                              : c.expect == Expect::cacheHome ? juce::File (cacheHome)
                                                              : TestSupport::getTestHome().getChildFile (".cache");
        EXPECT_EQ (folder.getFullPathName(), expectedParent.getChildFile (folderName).getFullPathName());

        auto info = statWithoutFollowing (folder);
        EXPECT_TRUE (S_ISDIR (info.st_mode));
        EXPECT_EQ (info.st_mode & 07777, 0700u);
    }
}

TEST (TempFolder, AFolderOfTheUsersOwnIsReusedAndMadePrivate)
{
    auto folder = PlatformLayer::createTempFolder (folderName);
    ASSERT_TRUE (folder.getChildFile ("left by an earlier run.txt").replaceWithText ("kept"));
    ::chmod (folder.getFullPathName().toRawUTF8(), 0777);

    EXPECT_EQ (PlatformLayer::createTempFolder (folderName).getFullPathName(), folder.getFullPathName());
    EXPECT_EQ (statWithoutFollowing (folder).st_mode & 07777, 0700u);
    EXPECT_EQ (folder.getChildFile ("left by an earlier run.txt").loadFileAsString(), "kept");
}
