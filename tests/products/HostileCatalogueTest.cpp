#include "app/VelmoraApplication.h"
#include "products/ProductsTestSupport.h"
#include "ui/MainComponent.h"

#include <atomic>
#include <cctype>
#include <functional>

using namespace ProductsTestSupport;

namespace
{
// The storage endpoint of the test build: http://127.0.0.1:47800/installer
constexpr int storagePort = 47800;

const juce::String earlierCatalogue { "<INSTALLATION_MANAGER version=\"1.0.10\"><PLUGIN name=\"Earlier\"/></INSTALLATION_MANAGER>" };

juce::PropertiesFile& store()
{
    return *VelmoraApplication::getSettings()->getUserSettings();
}

// Appending to a juce::String measures it each time; this copies in one pass.
juce::String repeated (const juce::String& text, int times)
{
    return juce::String::repeatedString (text, times);
}

juce::String catalogueWith (const juce::String& products)
{
    return "<INSTALLATION_MANAGER version=\"1.0.10\"><PLUGIN name=\"Kept\" folder=\"Synths\"/>" + products + "</INSTALLATION_MANAGER>";
}

// How the case's document sits in a settings file: as the framework writes a stored
// catalogue (a child element), or as the text value of a document that is no element.
enum class InFile
{
    element,
    value
};

struct HostileCase
{
    const char* label;
    std::function<juce::String()> makeText;
    bool refused; // the check refuses the whole document
    juce::StringArray listed; // when it is not refused
    juce::StringArray archives; // the raw request targets of their downloads
    InFile inFile;
    bool fileSetAside; // the settings file holding it is moved aside
};

const juce::String longProduct ("<PLUGIN name=\"Long\" nameView=\"A name long enough to pass sixty columns\" category=\"Synth\"/>");
const juce::StringArray keptOnly { "Kept" };
const juce::StringArray keptArchive { "/installer/Synths/Kept_Win.zip" };

const std::vector<HostileCase>& getCases()
{
    static const std::vector<HostileCase> cases {
        { "stray text before a long product", []
          { return juce::String ("<INSTALLATION_MANAGER version=\"1.0.10\">stray" + longProduct + "</INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::element,
          true },
        { "processing instruction and text", []
          { return juce::String ("<INSTALLATION_MANAGER version=\"1.0.10\"><?note?>x</INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::element,
          true },
        { "entity using an undeclared one", []
          { return juce::String ("<!DOCTYPE X [<!ENTITY a \"ab;&c;\">]><INSTALLATION_MANAGER version=\"1.0.10\">&a;</INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::value,
          false },
        { "entity using itself", []
          { return juce::String ("<!DOCTYPE X [<!ENTITY a \"xy-;&a;\">]><INSTALLATION_MANAGER version=\"1.0.10\">&a;</INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::value,
          false },
        { "entity using itself in an attribute", []
          { return juce::String ("<!DOCTYPE X [<!ENTITY a \"xy-;&a;\">]><INSTALLATION_MANAGER version=\"1.0.10\"><PLUGIN name=\"&a;\"/></INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::value,
          false },
        { "character reference cut at the end", []
          { return juce::String ("<INSTALLATION_MANAGER>&#x41"); },
          true,
          {},
          {},
          InFile::value,
          false },
        { "bundles nested 100,000 deep", []
          { return juce::String ("<INSTALLATION_MANAGER version=\"1.0.10\">" + repeated ("<BUNDLE>", 100000) + repeated ("</BUNDLE>", 100000) + "</INSTALLATION_MANAGER>"); },
          true,
          {},
          {},
          InFile::element,
          true },
        { "attribute above 4 KiB", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"Big\" nameView=\"" + juce::String::repeatedString ("x", 5000) + "\"/>")); },
          true,
          {},
          {},
          InFile::element,
          false },
        { "reply above 16 MiB", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"Big\" nameView=\"" + juce::String::repeatedString ("x", 17 * 1024 * 1024) + "\"/>")); },
          true,
          {},
          {},
          InFile::element,
          true },
        { "100,000 products", []
          { return juce::String (catalogueWith (repeated ("<PLUGIN name=\"P\"/>", 100000))); },
          true,
          {},
          {},
          InFile::element,
          true },
        { ".. in name", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"../../Escaped\"/><PLUGIN name=\"..\\..\\Escaped\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { ".. in folder", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"Out\" folder=\"../../outside\"/><PLUGIN name=\"Out\" folder=\"a\\..\\..\\outside\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { ".. in file", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"Out\" file=\"../../../../../../etc/hostname\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { ".. in fileWin", []
          { return juce::String (catalogueWith ("<EXE name=\"Out\" fileWin=\"..\\..\\Windows\\notepad.exe\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { "absolute fileWin", []
          { return juce::String (catalogueWith ("<EXE name=\"Out\" fileWin=\"/etc/hostname\"/><EXE name=\"Out\" fileWin=\"C:\\Windows\\notepad.exe\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { "control character in name", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"Line&#10;Break\"/>")); },
          false,
          keptOnly,
          keptArchive,
          InFile::element,
          false },
        { ".. in a bundle member", []
          { return juce::String (catalogueWith ("<BUNDLE name=\"Pack\"><PLUGIN name=\"../Member\" isNoBundleAvailable=\"1\"/><PLUGIN name=\"Member\" isNoBundleAvailable=\"1\"/></BUNDLE>")); },
          false,
          { "Kept", "Pack", "Member" },
          { "/installer/Synths/Kept_Win.zip", "/installer/Pack_Win.zip", "/installer/Member_Win.zip" },
          InFile::element,
          false },
        { "? and # in name and folder", []
          { return juce::String (catalogueWith ("<PLUGIN name=\"What? Now#1\" folder=\"Q?#\"/>")); },
          false,
          { "Kept", "What? Now#1" },
          { "/installer/Synths/Kept_Win.zip", "/installer/Q%3F%23/What%3F_Now%231_Win.zip" },
          InFile::element,
          false },
    };

    return cases;
}

// Serves the catalogue at the built-in storage address and answers every other
// request with 404, keeping the raw target of each.
class RecordingStorage
{
public:
    RecordingStorage()
    {
        server.server().Get ("/installer/Velmora/AppPlugins.xml", [this] (const httplib::Request&, httplib::Response& response)
                             {
                                 response.status = status;
                                 response.set_content (catalogue, "application/xml"); });

        server.server().Get (".*", [this] (const httplib::Request& request, httplib::Response& response)
                             {
                                 targets.push_back (request.target);
                                 ++requests;
                                 response.status = 404; });
    }

    bool start() { return server.startOn (storagePort); }

    std::string catalogue;
    int status = 200;

    // Written by the server's thread, read once every download has ended.
    std::vector<std::string> targets;
    std::atomic<int> requests { 0 };

private:
    LoopbackServer server;
};

juce::StringArray namesOf (const juce::Array<ProductBase*>& products)
{
    juce::StringArray names;

    for (auto* product : products)
        names.add (product->name);

    return names;
}

class HostileCatalogueTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (storage.start()) << "port " << storagePort << " is in use";

        // No image refresh: the catalogues here announce no count above it.
        store().setValue ("productUpdateCount", 5);
    }

    void TearDown() override
    {
        closeModalWindows();
        storeCatalogue (earlierCatalogue);
    }

    // A whole start: the overlay hides, the products are built from what was stored.
    // Returns the warning box's title, empty when there was none.
    juce::String start (MainComponent& main)
    {
        EXPECT_TRUE (TestSupport::pumpUntil ([&main]
                                             { return ! main.resources.isVisible(); },
                                             60000));
        TestSupport::pumpFor (100);
        auto* box = findAlertWindow();
        auto title = box != nullptr ? box->getName() : juce::String();
        closeModalWindows();
        return title;
    }

    // Downloads every listed product and gives the raw targets that were requested.
    // A worker that has not begun yet looks idle too: the wait also counts the requests.
    juce::StringArray downloadAll (MainComponent& main, int expectedRequests)
    {
        storage.targets.clear();
        storage.requests = 0;

        for (auto* installer : main.installers)
            installer->toggleDownload();

        EXPECT_TRUE (TestSupport::pumpUntil ([this, &main, expectedRequests]
                                             {
                                                 if (storage.requests.load() < expectedRequests)
                                                     return false;
                                                 for (auto* installer : main.installers)
                                                     if (installer->isThreadRunning() || installer->progress > -1.0)
                                                         return false;
                                                 return true; },
                                             30000));

        juce::StringArray targets;

        for (auto& target : storage.targets)
            targets.add (target);

        targets.sort (false);
        return targets;
    }

    static juce::StringArray sorted (juce::StringArray names)
    {
        names.sort (false);
        return names;
    }

    RecordingStorage storage;
};

juce::String oneLine (const juce::String& xml)
{
    return juce::parseXML (xml)->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}
} // namespace

TEST_P (HostileCatalogueTest, AReplyThatFailsTheCheckIsRefusedAndTheStoredCatalogueKept)
{
    auto& c = getCases()[(size_t) GetParam()];
    auto text = c.makeText();
    storeCatalogue (earlierCatalogue);
    storage.catalogue = text.toStdString();
    storage.status = 200;

    MainComponent main;
    auto title = start (main);

    if (c.refused)
    {
        EXPECT_EQ (main.resources.result, 1);
        EXPECT_EQ (title, "Server busy");
        EXPECT_EQ (store().getValue ("xmlAppProducts"), earlierCatalogue);
        EXPECT_EQ (namesOf (main.listedProducts), juce::StringArray ({ "Earlier" }));
        EXPECT_EQ (downloadAll (main, 1), juce::StringArray ({ "/installer/Earlier_Win.zip" }));
    }
    else
    {
        EXPECT_EQ (main.resources.result, 0);
        EXPECT_EQ (title, "");
        EXPECT_EQ (store().getValue ("xmlAppProducts"), oneLine (text));
        EXPECT_EQ (namesOf (main.listedProducts), c.listed);
        EXPECT_EQ (downloadAll (main, c.archives.size()), sorted (c.archives));
    }
}

TEST_P (HostileCatalogueTest, AStoredTextThatFailsTheCheckBuildsNothing)
{
    // Every start refuses its reply, so the products come from the stored text.
    storage.catalogue = "Service Unavailable";
    storage.status = 503;

    auto& c = getCases()[(size_t) GetParam()];
    auto text = c.makeText();
    storeCatalogue (text);

    // The store's save parses its values; these texts never reach a store but here.
    store().setNeedsToBeSaved (false);

    MainComponent main;
    EXPECT_EQ (start (main), "Server busy");
    EXPECT_EQ (main.resources.result, 1);

    if (c.refused)
    {
        EXPECT_TRUE (main.allProducts.isEmpty());
        EXPECT_TRUE (main.installers.isEmpty());
    }
    else
    {
        EXPECT_EQ (namesOf (main.listedProducts), c.listed);
        EXPECT_EQ (downloadAll (main, c.archives.size()), sorted (c.archives));
    }
}

TEST_P (HostileCatalogueTest, ASettingsFileHoldingItIsReadWithoutHarm)
{
    storage.catalogue = "Service Unavailable";
    storage.status = 503;

    auto settingsFile = store().getFile();
    auto folder = settingsFile.getParentDirectory();

    auto& c = getCases()[(size_t) GetParam()];
    auto text = c.makeText();
    VelmoraApplication::getSettings()->saveIfNeeded();

    juce::String file;

    if (c.inFile == InFile::element)
    {
        file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n  <VALUE name=\"vst3Path\" val=\"/kept\"/>\n"
             << "  <VALUE name=\"xmlAppProducts\">" << text << "</VALUE>\n</PROPERTIES>\n";
    }
    else
    {
        juce::XmlElement root ("PROPERTIES");
        auto* path = root.createNewChildElement ("VALUE");
        path->setAttribute ("name", "vst3Path");
        path->setAttribute ("val", "/kept");
        auto* value = root.createNewChildElement ("VALUE");
        value->setAttribute ("name", "xmlAppProducts");
        value->setAttribute ("val", text);
        file = root.toString();
    }

    ASSERT_TRUE (settingsFile.replaceWithText (file, false, false, "\n"));

    VelmoraApplication::getApp()->openStoresAndFolders();

    auto copies = folder.findChildFiles (juce::File::findFilesAndDirectories, false, "Velmora.settings.unreadable-*");
    EXPECT_EQ (copies.size(), c.fileSetAside ? 1 : 0);

    if (c.fileSetAside)
    {
        EXPECT_FALSE (store().containsKey ("vst3Path"));

        if (copies.size() == 1)
        {
            EXPECT_EQ (copies[0].loadFileAsString(), file);
        }
    }
    else
    {
        EXPECT_EQ (store().getValue ("vst3Path"), "/kept");
    }

    if (c.refused)
    {
        EXPECT_EQ (store().getValue ("xmlAppProducts"), "");
    }

    {
        StartedMainComponent main;

        if (c.refused)
            EXPECT_TRUE (main.allProducts.isEmpty());
        else
            EXPECT_EQ (namesOf (main.listedProducts), c.listed);
    }

    for (auto& copy : copies)
        copy.deleteRecursively();
}

INSTANTIATE_TEST_SUITE_P (Cases,
                          HostileCatalogueTest,
                          ::testing::Range (0, (int) getCases().size()),
                          [] (const ::testing::TestParamInfo<int>& caseInfo)
                          {
                              std::string name;

                              for (auto c : std::string (getCases()[(size_t) caseInfo.param].label))
                                  if (std::isalnum ((unsigned char) c))
                                      name += c;

                              return std::to_string (caseInfo.param) + "_" + name;
                          });
