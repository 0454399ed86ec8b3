#include "CatalogTestSupport.h"
#include "app/VelmoraApplication.h"
#include "catalog/Bundle.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "downloads/DownloadInstaller.h"
#include "platform/FileVersionCache.h"
#include "platform/PlatformLayer.h"
#include "support/TestSupport.h"

#include <BuildSettings.h>
#include <sys/stat.h>

using namespace CatalogTestSupport;

namespace
{
juce::PropertiesFile& settings()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

// The default install folders, below the test's own home.
juce::File vst3Folder() { return PlatformLayer::fileFromPath ("C:/Program Files/Common Files/VST3"); }
juce::File aaxFolder() { return PlatformLayer::getProgramFilesFolder().getChildFile ("Common Files/Avid/Audio/Plug-Ins"); }
juce::File programFolder() { return PlatformLayer::fileFromPath ("C:/Program Files/Tavoline Audio"); }

void install (const juce::String& fixtureVersion, const juce::File& target)
{
    ASSERT_TRUE (target.getParentDirectory().createDirectory().wasOk());
    auto source = fixtureVersion.isEmpty() ? getFixture ("no-version.dll") : getVersionFixture (fixtureVersion);
    target.deleteFile();
    ASSERT_TRUE (source.copyFileTo (target)) << target.getFullPathName();
}

void removeInstalls()
{
    for (auto folder : { vst3Folder(), aaxFolder(), programFolder() })
        folder.deleteRecursively();
}

std::unique_ptr<juce::XmlElement> element (const juce::String& xml)
{
    auto parsed = juce::parseXML (xml);
    EXPECT_NE (parsed, nullptr) << xml;
    return parsed;
}

// Polls like the main component's timer; true when anything changed.
bool poll (ProductBase& product)
{
    auto changed = product.checkInstalled();
    return product.refreshInstalledVersion() || changed;
}

class ProductModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        removeInstalls();
        settings().removeValue ("vst3Path");
        settings().removeValue ("exePath");
    }

    void TearDown() override { removeInstalls(); }
};
} // namespace

TEST_F (ProductModel, PluginInstallStateFollowsTheVst3AndAaxLocations)
{
    struct Case
    {
        const char* what;
        const char* fileAttribute; // nullptr: none, the name is used
        std::function<void()> setup;
        bool installed;
        const char* installedVersion;
        int status;
        std::function<juce::File()> installPath;
    };

    auto vst3 = [] (const char* name)
    { return vst3Folder().getChildFile (name); };
    auto inner = vst3Folder().getChildFile ("Synth.vst3/Contents/x86_64-win/Synth.vst3");
    auto aax = aaxFolder().getChildFile ("Synth.aaxplugin/Contents/x64/Synth.aaxplugin");

    const std::vector<Case> cases {
        { "VST3 file, same version", nullptr, [&]
          { install ("1.0.10.0", vst3 ("Synth.vst3")); },
          true,
          "1.0.10",
          latestVersion,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "VST3 file, newer", nullptr, [&]
          { install ("65535.65535.65535.65535", vst3 ("Synth.vst3")); },
          true,
          "65535.65535.65535",
          latestVersion,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "VST3 file, 2.3.0 counts older than 1.0.10", nullptr, [&]
          { install ("2.3.0.7", vst3 ("Synth.vst3")); },
          true,
          "2.3.0",
          updateAvailable,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "VST3 file, older", nullptr, [&]
          { install ("0.0.0.0", vst3 ("Synth.vst3")); },
          true,
          "0.0.0",
          updateAvailable,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "VST3 file without version", nullptr, [&]
          { install ({}, vst3 ("Synth.vst3")); },
          true,
          "",
          updateAvailable,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "VST3 bundle", nullptr, [&]
          { install ("2.3.0.7", inner); },
          true,
          "2.3.0",
          updateAvailable,
          [&]
          { return inner; } },
        { "VST3 bundle without its file hides the AAX", nullptr, [&]
          { vst3 ("Synth.vst3").createDirectory(); install ("1.0.10.0", aax); },
          false,
          "1.0.10",
          notInstalled,
          [&]
          { return inner; } },
        { "AAX only", nullptr, [&]
          { install ("0.0.0.0", aax); },
          true,
          "0.0.0",
          updateAvailable,
          [&]
          { return aax; } },
        { "AAX bundle folder only", nullptr, [&]
          { aaxFolder().getChildFile ("Synth.aaxplugin").createDirectory(); },
          false,
          "1.0.10",
          notInstalled,
          []
          { return juce::File(); } },
        { "nowhere", nullptr, [] {}, false, "1.0.10", notInstalled, []
          { return juce::File(); } },
        { "file with a dot", "Synth.x64", [&]
          { install ("1.0.10.0", vst3 ("Synth.vst3")); },
          true,
          "1.0.10",
          latestVersion,
          [&]
          { return vst3 ("Synth.vst3"); } },
        { "file attribute differs from the name", "Other", [&]
          { install ("2.3.0.7", vst3 ("Synth.vst3")); },
          false,
          "1.0.10",
          notInstalled,
          []
          { return juce::File(); } },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        removeInstalls();
        c.setup();

        juce::String xml ("<PLUGIN name=\"Synth\" version=\"1.0.10\"");
        if (c.fileAttribute != nullptr)
            xml << " file=\"" << c.fileAttribute << "\"";

        Plugin plugin;
        ASSERT_TRUE (plugin.loadFromXml (*element (xml + "/>")));
        EXPECT_EQ (plugin.installed, c.installed);
        EXPECT_EQ (plugin.installedVersion, c.installedVersion);
        EXPECT_EQ (plugin.getStatus(), c.status);
        EXPECT_EQ (plugin.getInstallPath(), c.installPath());
        EXPECT_FALSE (poll (plugin));
    }
}

TEST_F (ProductModel, PollsFollowInstallUpdateAndRemoval)
{
    Plugin plugin;
    ASSERT_TRUE (plugin.loadFromXml (*element ("<PLUGIN name=\"Synth\" version=\"1.0.10\"/>")));
    auto target = vst3Folder().getChildFile ("Synth.vst3");

    struct Step
    {
        const char* what;
        std::function<void()> change;
        bool checkChanged;
        bool refreshChanged;
        bool installed;
        const char* installedVersion;
    };

    const std::vector<Step> steps {
        { "nothing there", [] {}, false, false, false, "1.0.10" },
        { "installed", [&]
          { install ("0.0.0.0", target); },
          true,
          false,
          true,
          "0.0.0" },
        { "updated", [&]
          { install ("2.3.0.7", target); },
          false,
          true,
          true,
          "2.3.0" },
        { "unchanged", [] {}, false, false, true, "2.3.0" },
        { "loses its version resource", [&]
          { install ({}, target); },
          false,
          false,
          true,
          "2.3.0" },
        { "removed", [&]
          { target.deleteFile(); },
          true,
          false,
          false,
          "1.0.10" },
        { "installed without version", [&]
          { install ({}, target); },
          true,
          false,
          true,
          "" },
    };

    for (auto& step : steps)
    {
        SCOPED_TRACE (step.what);
        step.change();
        EXPECT_EQ (plugin.checkInstalled(), step.checkChanged);
        EXPECT_EQ (plugin.refreshInstalledVersion(), step.refreshChanged);
        EXPECT_EQ (plugin.installed, step.installed);
        EXPECT_EQ (plugin.installedVersion, step.installedVersion);
    }
}

TEST_F (ProductModel, PollsSeeAnInstalledFileReplacedByOneOfTheSameSize)
{
    struct Poll
    {
        bool checkChanged;
        bool refreshChanged;
        bool installed;
        const char* installedVersion;
    };

    using Change = std::function<void (const juce::File&, const juce::MemoryBlock&)>;

    struct Case
    {
        const char* what;
        Change change; // before the second poll
        Poll second;
        Change thenChange; // before the third
        Poll third;
    };

    const Change nothing = [] (auto&, auto&) {};
    const Poll asInstalled { false, false, true, "1.0.10" };
    const Poll updated { false, true, true, "1.0.11" };
    const Poll asUpdated { false, false, true, "1.0.11" };

    std::vector<Case> cases {
        { "unchanged", nothing, asInstalled, nothing, asInstalled },
        { "removed, polled, then put back", [] (auto& file, auto&)
          { ASSERT_TRUE (file.deleteFile()); },
          { true, false, false, "1.0.10" },
          [] (auto& file, auto& bytes)
          { writeFile (file, bytes, anHourAgoPlus (std::chrono::milliseconds (250))); },
          { true, false, true, "1.0.11" } },
    };

    for (auto& replacement : getSameSizeReplacements())
        cases.push_back ({ replacement.what, replacement.replace, updated, nothing, asUpdated });

    auto original = loadFixture ("version-1.0.10.0.dll");
    auto newer = fixtureWithFileVersion (1, 0, 11, 0);
    ASSERT_EQ (newer.getSize(), original.getSize());
    ASSERT_TRUE (vst3Folder().createDirectory().wasOk());

    juce::OwnedArray<Plugin> plugins;
    auto fileOf = [&] (size_t index)
    { return vst3Folder().getChildFile ("Synth " + juce::String ((int) index) + ".vst3"); };

    for (size_t i = 0; i < cases.size(); ++i)
    {
        writeFile (fileOf (i), original, anHourAgoPlus (std::chrono::milliseconds (250)));
        auto* plugin = plugins.add (new Plugin());
        ASSERT_TRUE (plugin->loadFromXml (*element ("<PLUGIN name=\"Synth " + juce::String ((int) i) + "\" version=\"1.0.10\"/>")));
    }

    // Installed plug-ins have not changed for a while; only then is their version kept.
    juce::Thread::sleep (FileVersionCache::defaultSettleTimeMs + 100);

    auto expectPoll = [&] (size_t index, const char* when, const Poll& expected)
    {
        SCOPED_TRACE (juce::String (cases[index].what) + ", " + when);
        auto& plugin = *plugins[(int) index];
        EXPECT_EQ (plugin.checkInstalled(), expected.checkChanged);
        EXPECT_EQ (plugin.refreshInstalledVersion(), expected.refreshChanged);
        EXPECT_EQ (plugin.installed, expected.installed);
        EXPECT_EQ (plugin.installedVersion, juce::String (expected.installedVersion));
    };

    for (size_t i = 0; i < cases.size(); ++i)
        expectPoll (i, "first poll", asInstalled);

    for (size_t i = 0; i < cases.size(); ++i)
        cases[i].change (fileOf (i), newer);

    for (size_t i = 0; i < cases.size(); ++i)
        expectPoll (i, "second poll", cases[i].second);

    for (size_t i = 0; i < cases.size(); ++i)
        cases[i].thenChange (fileOf (i), newer);

    for (size_t i = 0; i < cases.size(); ++i)
        expectPoll (i, "third poll", cases[i].third);
}

TEST_F (ProductModel, InstallFoldersComeFromTheSettingsAtEveryLook)
{
    auto ownVst3 = TestSupport::makeTempFolder ("vst3");
    auto ownPrograms = TestSupport::makeTempFolder ("programs");
    install ("65535.65535.65535.65535", ownVst3.getChildFile ("Synth.vst3"));
    install ("65535.65535.65535.65535", ownPrograms.getChildFile ("Tool/Tool.exe"));

    Plugin plugin;
    ASSERT_TRUE (plugin.loadFromXml (*element ("<PLUGIN name=\"Synth\" version=\"1.0.10\"/>")));
    Executable program;
    ASSERT_TRUE (program.loadFromXml (*element ("<EXE name=\"Tool\" version=\"1.0.10\" fileWin=\"Tool/Tool.exe\"/>")));
    EXPECT_FALSE (plugin.installed);
    EXPECT_FALSE (program.installed);

    settings().setValue ("vst3Path", ownVst3.getFullPathName());
    settings().setValue ("exePath", ownPrograms.getFullPathName());

    for (auto* product : { (ProductBase*) &plugin, (ProductBase*) &program })
    {
        EXPECT_TRUE (poll (*product)) << product->name;
        EXPECT_TRUE (product->installed) << product->name;
        EXPECT_EQ (product->installedVersion, "65535.65535.65535") << product->name;
        EXPECT_EQ (product->getStatus(), latestVersion) << product->name;
    }
}

TEST_F (ProductModel, ExecutableInstallState)
{
    struct Case
    {
        const char* what;
        const char* attributes;
        std::function<void()> setup;
        bool installed;
        const char* installedVersion;
        int status;
        juce::File installPath;
    };

    const std::vector<Case> cases {
        { "installed", "fileWin=\"Tool/Tool.exe\"", []
          { install ("1.0.10.0", programFolder().getChildFile ("Tool/Tool.exe")); },
          true,
          "1.0.10",
          latestVersion,
          programFolder().getChildFile ("Tool/Tool.exe") },
        { "older", "fileWin=\"Tool.exe\"", []
          { install ("0.0.0.0", programFolder().getChildFile ("Tool.exe")); },
          true,
          "0.0.0",
          updateAvailable,
          programFolder().getChildFile ("Tool.exe") },
        { "missing", "fileWin=\"Tool.exe\"", []
          { programFolder().createDirectory(); },
          false,
          "1.0.10",
          notInstalled,
          programFolder().getChildFile ("Tool.exe") },
        // "file" names nothing for a program: the install path is the folder itself.
        { "file but no fileWin, folder there", "file=\"Tool.exe\"", []
          { install ("1.0.10.0", programFolder().getChildFile ("Tool.exe")); },
          true,
          "",
          updateAvailable,
          programFolder() },
        { "file but no fileWin, no folder", "file=\"Tool.exe\"", [] {}, false, "1.0.10", notInstalled, programFolder() },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        removeInstalls();
        c.setup();

        Executable program;
        ASSERT_TRUE (program.loadFromXml (*element (juce::String ("<EXE name=\"Tool\" version=\"1.0.10\" ") + c.attributes + "/>")));
        EXPECT_EQ (program.installed, c.installed);
        EXPECT_EQ (program.installedVersion, c.installedVersion);
        EXPECT_EQ (program.getStatus(), c.status);
        EXPECT_EQ (program.getInstallPath(), c.installPath);
    }
}

TEST_F (ProductModel, StatusIsDownloadingWhileTheTaskHasProgress)
{
    // The task's progress decides before the install state does: a product that is
    // not installed, the usual one to download, reads "Downloading..." too.
    install ("1.0.10.0", vst3Folder().getChildFile ("Synth.vst3"));
    install ("1.0.10.0", vst3Folder().getChildFile ("Present.vst3"));

    juce::OwnedArray<ProductBase> members;
    auto load = [&] (ProductBase& product, const juce::String& xml)
    {
        EXPECT_TRUE (product.loadFromXml (*element (xml))) << xml;

        if (auto* bundle = dynamic_cast<Bundle*> (&product))
            members.addArray (bundle->products);
    };

    Plugin installed, missing;
    Bundle empty, partly;
    load (installed, "<PLUGIN name=\"Synth\" version=\"1.0.10\"/>");
    load (missing, "<PLUGIN name=\"Missing\" version=\"1.0.10\"/>");
    load (empty, "<BUNDLE name=\"Empty\" version=\"1.0.10\"/>");
    load (partly, "<BUNDLE name=\"Partly\" version=\"1.0.10\"><PLUGIN name=\"Present\"/><PLUGIN name=\"Absent\"/></BUNDLE>");

    struct Case
    {
        ProductBase& product;
        int idleStatus;
    };

    const std::vector<Case> cases {
        { installed, latestVersion },
        { missing, notInstalled },
        { empty, latestVersion },
        { partly, notInstalled },
    };

    DownloadInstaller task (juce::URL ("http://127.0.0.1:" + juce::String (getClosedLoopbackPort()) + "/x.zip"));

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.product.name.toStdString());
        EXPECT_EQ (c.product.getStatus(), c.idleStatus);
        c.product.downloadInstaller = &task;

        for (auto [progress, status] : { std::pair { -1.0, c.idleStatus }, { 0.0, (int) downloading }, { 0.5, (int) downloading }, { -1.5, c.idleStatus } })
        {
            task.progress = progress;
            EXPECT_EQ (c.product.getStatus(), status) << "at " << progress;
        }

        task.progress = -1.0;
        c.product.downloadInstaller = nullptr;
    }
}

TEST_F (ProductModel, BundleFlagIsThePresenceOfTheLastMemberThatChangedInThePass)
{
    struct Case
    {
        const char* what;
        std::vector<bool> before, after; // presence of the members A, B, C
        bool changed;
        bool installed;
        const char* installedVersion;
    };

    // The members are installed with 0.0.0 (A), 2.3.0 (B) and 1.0.10 (C).
    const std::vector<Case> cases {
        { "A goes, B comes", { true, false, false }, { false, true, false }, true, true, "2.3.0" },
        { "A comes, B goes", { false, true, false }, { true, false, false }, true, false, "1.0.20" },
        { "A comes, B goes, C stays", { false, true, true }, { true, false, true }, true, false, "1.0.20" },
        { "B and C come, A stays", { true, false, false }, { true, true, true }, true, true, "1.0.10" },
        { "A, B and C go", { true, true, true }, { false, false, false }, true, false, "1.0.20" },
        { "nothing changes", { true, false, true }, { true, false, true }, false, false, "1.0.20" },
    };

    const std::vector<std::pair<juce::String, juce::String>> memberFiles { { "A", "0.0.0.0" }, { "B", "2.3.0.7" }, { "C", "1.0.10.0" } };

    auto place = [&] (const std::vector<bool>& present)
    {
        for (size_t i = 0; i < memberFiles.size(); ++i)
        {
            auto target = vst3Folder().getChildFile (memberFiles[i].first + ".vst3");

            if (present[i])
                install (memberFiles[i].second, target);
            else
                target.deleteFile();
        }
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        removeInstalls();
        place (c.before);

        juce::OwnedArray<ProductBase> members;
        Bundle bundle;
        ASSERT_TRUE (bundle.loadFromXml (*element ("<BUNDLE name=\"Pack\" version=\"1.0.20\">"
                                                   "<PLUGIN name=\"A\"/><PLUGIN name=\"B\"/><PLUGIN name=\"C\"/></BUNDLE>")));
        members.addArray (bundle.products);
        ASSERT_FALSE (bundle.installed);

        place (c.after);
        EXPECT_EQ (bundle.checkInstalled(), c.changed);
        EXPECT_EQ (bundle.installed, c.installed);
        EXPECT_EQ (bundle.installedVersion, c.installedVersion);

        for (size_t i = 0; i < memberFiles.size(); ++i)
            EXPECT_EQ (bundle.products[(int) i]->installed, c.after[i]) << memberFiles[i].first;
    }
}

TEST_F (ProductModel, BundleStatusComesFromItsMembers)
{
    juce::OwnedArray<ProductBase> members;
    auto load = [&] (Bundle& bundle, const juce::String& xml)
    {
        EXPECT_TRUE (bundle.loadFromXml (*element (xml)));
        members.addArray (bundle.products);
    };

    {
        Bundle empty;
        load (empty, "<BUNDLE name=\"Empty\" version=\"1.0.10\"/>");
        EXPECT_EQ (empty.installedVersion, "1.0.10");
        EXPECT_EQ (empty.getStatus(), latestVersion);
        EXPECT_FALSE (poll (empty));
        EXPECT_EQ (empty.installedVersion, "1.0.10");
        EXPECT_EQ (empty.getStatus(), latestVersion);
    }

    const juce::String members3 = "<PLUGIN name=\"A\" version=\"1\"/><PLUGIN name=\"B\" version=\"1\"/><EXE name=\"C\" version=\"1\" fileWin=\"C.exe\"/>";

    {
        install ("2.3.0.7", vst3Folder().getChildFile ("A.vst3"));
        install ("2.3.0.7", programFolder().getChildFile ("C.exe"));
        Bundle oneMissing;
        load (oneMissing, "<BUNDLE name=\"Pack\" version=\"1.0.10\">" + members3 + "</BUNDLE>");
        ASSERT_EQ (oneMissing.products.size(), 3);
        poll (oneMissing);
        EXPECT_EQ (oneMissing.getStatus(), notInstalled);
    }

    {
        // All there, the newest member (1.0.10) older than the bundle's 1.0.20.
        install ("0.0.0.0", vst3Folder().getChildFile ("A.vst3"));
        install ("1.0.10.0", vst3Folder().getChildFile ("B.vst3"));
        install ("1.0.10.0", programFolder().getChildFile ("C.exe"));
        Bundle older;
        load (older, "<BUNDLE name=\"Pack\" version=\"1.0.20\">" + members3 + "</BUNDLE>");
        EXPECT_FALSE (older.installed);
        EXPECT_EQ (older.installedVersion, "1.0.20");
        EXPECT_EQ (older.newestInstalledVersion(), "1.0.10");

        // The bundle's own flag is still false: every poll puts the catalogue
        // version back, then takes the members' version again.
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_FALSE (older.checkInstalled());
            EXPECT_EQ (older.installedVersion, "1.0.20");
            EXPECT_TRUE (older.refreshInstalledVersion());
            EXPECT_EQ (older.installedVersion, "1.0.10");
            EXPECT_EQ (older.getStatus(), updateAvailable);
        }

        // Once a member's presence changes to present, the flag is set and the changes stop.
        vst3Folder().getChildFile ("B.vst3").deleteFile();
        EXPECT_TRUE (older.checkInstalled());
        EXPECT_FALSE (older.installed);
        EXPECT_EQ (older.getStatus(), notInstalled);
        install ("65535.65535.65535.65535", vst3Folder().getChildFile ("B.vst3"));
        EXPECT_TRUE (older.checkInstalled());
        EXPECT_TRUE (older.installed);
        EXPECT_EQ (older.installedVersion, "65535.65535.65535");
        EXPECT_FALSE (older.refreshInstalledVersion());
        EXPECT_FALSE (poll (older));
        EXPECT_EQ (older.getStatus(), latestVersion);
    }
}

TEST_F (ProductModel, NewestInstalledVersionLooksAtPathsAndKeepsTheFirstOfEquals)
{
    juce::OwnedArray<ProductBase> members;
    Bundle bundle;
    ASSERT_TRUE (bundle.loadFromXml (*element ("<BUNDLE name=\"Pack\" version=\"9\">"
                                               "<PLUGIN name=\"A\"/><PLUGIN name=\"B\"/><PLUGIN name=\"C\"/></BUNDLE>")));
    members.addArray (bundle.products);

    EXPECT_EQ (bundle.newestInstalledVersion(), "");

    install ({}, vst3Folder().getChildFile ("A.vst3"));
    install ("0.0.0.0", vst3Folder().getChildFile ("B.vst3"));
    EXPECT_EQ (bundle.newestInstalledVersion(), ""); // empty and zero never replace the start

    install ("1.0.10.0", vst3Folder().getChildFile ("C.vst3"));
    EXPECT_EQ (bundle.newestInstalledVersion(), "1.0.10");

    // 1.0.10 and 10.1.0 count as equal: the first member's version wins.
    juce::OwnedArray<ProductBase> twins;
    Bundle equal;
    ASSERT_TRUE (equal.loadFromXml (*element ("<BUNDLE name=\"Twins\"><PLUGIN name=\"C\"/><PLUGIN name=\"A\"/></BUNDLE>")));
    twins.addArray (equal.products);
    EXPECT_EQ (equal.newestInstalledVersion(), "1.0.10");
}

TEST_F (ProductModel, DownloadUrlIsTheArchiveBelowTheStorageFolder)
{
    struct Case
    {
        const char* folder;
        const char* name;
        const char* path;
    };

    const std::vector<Case> cases {
        { "Synths", "My Synth", "/Synths/My_Synth_Win.zip" },
        { "", "My Synth", "/My_Synth_Win.zip" },
        { "Synths", "  Two  Blanks ", "/Synths/__Two__Blanks__Win.zip" },
        { "Effects/2024", "Comp.X-1", "/Effects/2024/Comp.X-1_Win.zip" },
        { "Synths", "", "/Synths/_Win.zip" },
    };

    const juce::String endpoint (VELMORA_STORAGE_URL);

    for (auto& c : cases)
    {
        Plugin plugin;
        plugin.folder = c.folder;
        plugin.name = c.name;
        EXPECT_EQ (plugin.getDownloadUrl().toString (false), endpoint + c.path) << c.name;
    }
}

TEST_F (ProductModel, LoadFromXmlReadsEachKindsElement)
{
    juce::OwnedArray<ProductBase> members;
    Plugin plugin;
    Executable program;
    Bundle bundle;

    EXPECT_FALSE (plugin.loadFromXml (*element ("<EXE name=\"x\"/>")));
    EXPECT_FALSE (program.loadFromXml (*element ("<PLUGIN name=\"x\"/>")));
    EXPECT_FALSE (bundle.loadFromXml (*element ("<PLUGINS name=\"x\"/>")));
    EXPECT_TRUE (plugin.name.isEmpty());

    ASSERT_TRUE (plugin.loadFromXml (*element ("<plugin name=\"Synth One\" nameView=\"Synth 1\" category=\"Synths\" version=\"1.2\""
                                               " folder=\"Synths\" pruductPage=\"http://127.0.0.1/p\" productPage=\"wrong\""
                                               " NAME=\"wrong\"><child name=\"ignored\"/></plugin>")));
    EXPECT_EQ (plugin.name, "Synth One");
    EXPECT_EQ (plugin.nameView, "Synth 1");
    EXPECT_EQ (plugin.category, "Synths");
    EXPECT_EQ (plugin.version, "1.2");
    EXPECT_EQ (plugin.installedVersion, "1.2");
    EXPECT_EQ (plugin.file, "Synth One");
    EXPECT_EQ (plugin.folder, "Synths");
    EXPECT_EQ (plugin.productPage, "http://127.0.0.1/p");
    EXPECT_FALSE (plugin.installed);
    EXPECT_EQ (plugin.downloadInstaller, nullptr);

    ASSERT_TRUE (program.loadFromXml (*element ("<Exe name=\"Tool\" file=\"Tool.exe\" fileWin=\"Bin/Tool.exe\"/>")));
    EXPECT_EQ (program.file, "Bin/Tool.exe");

    ASSERT_TRUE (bundle.loadFromXml (*element ("<bundle name=\"Pack\" file=\"PackFile\">"
                                               "<PLUGIN name=\"A\"/>"
                                               "<BUNDLE name=\"Nested\"><PLUGIN name=\"Inside\"/></BUNDLE>"
                                               "<UNKNOWN name=\"U\"/>"
                                               "<exe name=\"B\" fileWin=\"B.exe\"/>"
                                               "<Plugin name=\"C\" isNoBundleAvailable=\"true\"/>"
                                               "</bundle>")));
    members.addArray (bundle.products);
    EXPECT_EQ (bundle.file, "PackFile");
    EXPECT_EQ (bundle.getInstallPath(), juce::File());
    ASSERT_EQ (bundle.products.size(), 3);
    EXPECT_EQ (bundle.products[0]->name, "A");
    EXPECT_NE (dynamic_cast<Plugin*> (bundle.products[0]), nullptr);
    EXPECT_EQ (bundle.products[1]->name, "B");
    EXPECT_NE (dynamic_cast<Executable*> (bundle.products[1]), nullptr);
    EXPECT_EQ (bundle.products[2]->name, "C");
    EXPECT_TRUE (bundle.products[2]->isNoBundleAvailable);
    EXPECT_FALSE (bundle.products[0]->isNoBundleAvailable);
}

TEST_F (ProductModel, IsNoBundleAvailableIsABooleanAttribute)
{
    struct Case
    {
        const char* attribute; // nullptr: absent
        bool expected;
    };

    const std::vector<Case> cases {
        { "1", true },
        { "true", true },
        { "True", true },
        { "yes", true },
        { "Y", true },
        { "  t", true },
        { "0", false },
        { "false", false },
        { "no", false },
        { "", false },
        { " ", false },
        { "2", false },
        { nullptr, false },
    };

    for (auto& c : cases)
    {
        juce::String xml ("<PLUGIN name=\"A\"");
        if (c.attribute != nullptr)
            xml << " isNoBundleAvailable=\"" << c.attribute << "\"";

        Plugin plugin;
        ASSERT_TRUE (plugin.loadFromXml (*element (xml + "/>")));
        EXPECT_EQ (plugin.isNoBundleAvailable, c.expected) << (c.attribute != nullptr ? c.attribute : "absent");
    }
}

TEST_F (ProductModel, ThumbnailComesFromTheImagesFolder)
{
    auto images = VelmoraApplication::getImagesFolder();
    ASSERT_TRUE (images.createDirectory().wasOk());

    juce::Image picture (juce::Image::RGB, 8, 6, true);
    picture.clear (picture.getBounds(), juce::Colours::red);
    {
        juce::FileOutputStream out (images.getChildFile ("My.jpg"));
        ASSERT_TRUE (out.openedOk());
        juce::JPEGImageFormat().writeImageToStream (picture, out);
    }
    images.getChildFile ("Broken.jpg").replaceWithText ("not a picture");

    // Read only from a plain file whose real place is inside the folder.
    auto outside = images.getSiblingFile ("Outside.jpg");
    ASSERT_TRUE (images.getChildFile ("My.jpg").copyFileTo (outside));
    ASSERT_TRUE (images.getChildFile ("Sub").createDirectory().wasOk());
    ASSERT_TRUE (images.getChildFile ("My.jpg").copyFileTo (images.getChildFile ("Sub/Inner.jpg")));
    ASSERT_TRUE (outside.createSymbolicLink (images.getChildFile ("Linked.jpg"), true));
    ASSERT_TRUE (images.getChildFile ("My.jpg").createSymbolicLink (images.getChildFile ("Alias.jpg"), true));
    ASSERT_EQ (::mkfifo (images.getChildFile ("Piped.jpg").getFullPathName().toRawUTF8(), 0600), 0);

    struct Case
    {
        const char* name;
        bool hasThumbnail;
    };

    // A name with a dot loses the text after it to the extension.
    for (auto& c : std::vector<Case> { { "My.Synth", true }, { "My", true }, { "Broken", false }, { "Missing", false }, { "Sub/Inner", true }, { "Alias", true }, { "Linked", false }, { "Piped", false } })
    {
        Plugin plugin;
        ASSERT_TRUE (plugin.loadFromXml (*element (juce::String ("<PLUGIN name=\"") + c.name + "\"/>")));
        EXPECT_EQ (plugin.thumbnail.isValid(), c.hasThumbnail) << c.name;

        if (c.hasThumbnail)
        {
            EXPECT_EQ (plugin.thumbnail.getWidth(), 8) << c.name;
        }
    }
}
