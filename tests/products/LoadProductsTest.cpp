#include "app/Addresses.h"
#include "app/VelmoraApplication.h"
#include "catalog/Bundle.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"
#include "products/ProductsTestSupport.h"
#include "ui/MainComponent.h"

#include <optional>

using namespace ProductsTestSupport;

namespace
{
class LoadProductsTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        closeModalWindows();
    }

    juce::StringArray namesOf (const juce::Array<ProductBase*>& products)
    {
        juce::StringArray names;

        for (auto* product : products)
            names.add (product->name);

        return names;
    }

    juce::StringArray namesOf (const juce::OwnedArray<ProductBase>& products)
    {
        juce::StringArray names;

        for (auto* product : products)
            names.add (product->name);

        return names;
    }

    StartedMainComponent main;
};

const char* const mixedCatalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<installation_manager version="1.0.10" productUpdateCount="4">
  <plugin name="Alpha Synth" nameView="Alpha" category="Synth" version="1.2.0" folder="Synths" pruductPage="http://127.0.0.1:9/alpha">
    <PLUGIN name="Child of a plug-in"/>
  </plugin>
  <exe name="Beta App" file="Beta.exe" version="2.0.0"/>
  <Exe name="Gamma App" fileWin="Gamma/Gamma.exe"/>
  <Bundle name="Suite" nameView="The Suite">
    <plugin name="Member One" isNoBundleAvailable="yes"/>
    <PLUGIN name="Member Two" isNoBundleAvailable="no"/>
    <BUNDLE name="Nested"><PLUGIN name="Deep"/></BUNDLE>
    <EFFECT name="Unknown member"/>
    <EXE name="Member Three" fileWin="Three.exe" isNoBundleAvailable="1"/>
  </Bundle>
  <EFFECT name="Unknown"/>
  <PLUGIN name="Alpha Synth" NameView="Wrong case"/>
  <BUNDLE name="Empty Bundle"/>
</installation_manager>
)";

TEST_F (LoadProductsTest, BuildsTheListedAndOwnedProductsOfAMixedCatalogue)
{
    auto images = VelmoraApplication::getImagesFolder();
    ASSERT_TRUE (writeJpeg (images.getChildFile ("Alpha Synth.jpg"), juce::Colours::red));
    storeCatalogue (mixedCatalogue);

    main.loadProducts();

    // Bundles are followed by their members that are offered by themselves.
    EXPECT_EQ (namesOf (main.listedProducts),
               juce::StringArray ({ "Alpha Synth", "Beta App", "Gamma App", "Suite", "Member One", "Member Three", "Alpha Synth", "Empty Bundle" }));
    EXPECT_EQ (namesOf (main.allProducts),
               juce::StringArray ({ "Alpha Synth", "Beta App", "Gamma App", "Suite", "Member One", "Member Two", "Member Three", "Alpha Synth", "Empty Bundle" }));
    ASSERT_EQ (main.listedProducts.size(), 8);
    ASSERT_EQ (main.allProducts.size(), 9);

    EXPECT_NE (dynamic_cast<Plugin*> (main.allProducts[0]), nullptr);
    EXPECT_NE (dynamic_cast<Executable*> (main.allProducts[1]), nullptr);
    EXPECT_NE (dynamic_cast<Executable*> (main.allProducts[2]), nullptr);
    EXPECT_NE (dynamic_cast<Plugin*> (main.allProducts[4]), nullptr);
    EXPECT_NE (dynamic_cast<Executable*> (main.allProducts[6]), nullptr);
    EXPECT_NE (dynamic_cast<Bundle*> (main.allProducts[8]), nullptr);

    // One worker per listed product, in list order, for the product's own archive.
    ASSERT_EQ (main.installers.size(), main.listedProducts.size());

    for (int i = 0; i < main.listedProducts.size(); ++i)
    {
        auto* product = main.listedProducts[i];
        EXPECT_EQ (product->downloadInstaller, main.installers[i]) << product->name;
        EXPECT_EQ (main.installers[i]->url.toString (true), product->getDownloadUrl().toString (true)) << product->name;
    }

    auto* memberTwo = main.allProducts[5];
    EXPECT_EQ (memberTwo->downloadInstaller, nullptr);
    EXPECT_FALSE (main.listedProducts.contains (memberTwo));

    // Nested bundles and unknown elements leave no trace.
    auto* suite = dynamic_cast<Bundle*> (main.allProducts[3]);
    ASSERT_NE (suite, nullptr);
    ASSERT_EQ (suite->products.size(), 3);
    EXPECT_EQ (suite->products[0], main.allProducts[4]);
    EXPECT_EQ (suite->products[1], memberTwo);
    EXPECT_EQ (suite->products[2], main.allProducts[6]);

    auto* emptyBundle = dynamic_cast<Bundle*> (main.allProducts[8]);
    ASSERT_NE (emptyBundle, nullptr);
    EXPECT_TRUE (emptyBundle->products.isEmpty());
    EXPECT_NE (emptyBundle->downloadInstaller, nullptr);

    // Attributes: text as written, "file" not used for a program, names case-sensitive.
    auto* alpha = main.allProducts[0];
    EXPECT_EQ (alpha->nameView, "Alpha");
    EXPECT_EQ (alpha->category, "Synth");
    EXPECT_EQ (alpha->version, "1.2.0");
    EXPECT_EQ (alpha->folder, "Synths");
    EXPECT_EQ (alpha->productPage, "http://127.0.0.1:9/alpha");
    EXPECT_EQ (main.allProducts[1]->file, "");
    EXPECT_EQ (main.allProducts[2]->file, "Gamma/Gamma.exe");
    EXPECT_EQ (main.allProducts[7]->nameView, "");
    EXPECT_TRUE (main.allProducts[4]->isNoBundleAvailable);
    EXPECT_FALSE (memberTwo->isNoBundleAvailable);

    // Thumbnails come from the images folder, by name.
    EXPECT_TRUE (alpha->thumbnail.isValid());
    EXPECT_TRUE (main.allProducts[7]->thumbnail.isValid());
    EXPECT_FALSE (main.allProducts[1]->thumbnail.isValid());

    // The catalogue names the manager's own version: no notice.
    EXPECT_EQ (main.updateNotice, nullptr);
}

TEST_F (LoadProductsTest, DuplicateNamesAndSharedMembersKeepTheirOwnState)
{
    storeCatalogue (R"(<INSTALLATION_MANAGER>
                         <PLUGIN name="Twin" version="1.0.0"/>
                         <PLUGIN name="Twin" version="2.0.0"/>
                         <BUNDLE name="Pack"><PLUGIN name="Shared" isNoBundleAvailable="true"/></BUNDLE>
                       </INSTALLATION_MANAGER>)");

    main.loadProducts();

    ASSERT_EQ (main.listedProducts.size(), 4);
    auto* first = main.listedProducts[0];
    auto* second = main.listedProducts[1];
    EXPECT_NE (first, second);
    EXPECT_NE (first->downloadInstaller, second->downloadInstaller);
    EXPECT_EQ (first->version, "1.0.0");
    EXPECT_EQ (second->version, "2.0.0");

    // The member listed by itself is the very object its bundle shows, with a worker
    // of its own, distinct from the bundle's.
    auto* pack = dynamic_cast<Bundle*> (main.listedProducts[2]);
    ASSERT_NE (pack, nullptr);
    ASSERT_EQ (pack->products.size(), 1);
    EXPECT_EQ (main.listedProducts[3], pack->products[0]);
    EXPECT_NE (pack->products[0]->downloadInstaller, nullptr);
    EXPECT_NE (pack->products[0]->downloadInstaller, pack->downloadInstaller);
    EXPECT_EQ (main.allProducts.size(), 4);
    EXPECT_EQ (main.installers.size(), 4);
}

TEST_F (LoadProductsTest, BuildsNothingWithoutAUsableCatalogue)
{
    struct Case
    {
        const char* label;
        std::optional<juce::String> stored;
    };

    const std::vector<Case> cases {
        { "no stored catalogue", std::nullopt },
        { "empty text", juce::String() },
        { "not XML", "Service Unavailable" },
        { "an HTML page", "<html><body><PLUGIN name=\"x\"/></body></html>" },
        { "another root", "<INSTALLATION_MANAGERS version=\"9.9.9\"><PLUGIN name=\"x\"/></INSTALLATION_MANAGERS>" },
        { "cut short", "<INSTALLATION_MANAGER version=\"9.9.9\"><PLUGIN name=\"x\"/>" },
    };

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.label);

        if (c.stored.has_value())
            storeCatalogue (*c.stored);
        else
            removeStoredCatalogue();

        StartedMainComponent component;
        component.loadProducts();

        EXPECT_TRUE (component.allProducts.isEmpty());
        EXPECT_TRUE (component.listedProducts.isEmpty());
        EXPECT_TRUE (component.installers.isEmpty());
        EXPECT_EQ (component.updateNotice, nullptr);
        EXPECT_EQ (findDialogWindow ("New version available"), nullptr);
    }
}

struct VersionCase
{
    const char* label;
    std::optional<juce::String> announced;
    bool noticeExpected;
};

void PrintTo (const VersionCase& c, std::ostream* out)
{
    *out << "announced " << (c.announced.has_value() ? "\"" + c.announced->toStdString() + "\"" : std::string ("absent"));
}

class NewVersionCheckTest : public ::testing::TestWithParam<VersionCase>
{
protected:
    void TearDown() override
    {
        main.updateNotice = nullptr;
        closeModalWindows();
    }

    StartedMainComponent main;
};

TEST_P (NewVersionCheckTest, ShowsTheNoticeOnlyForANewerManager)
{
    auto& c = GetParam();
    auto root = juce::String ("<INSTALLATION_MANAGER");

    if (c.announced.has_value())
        root << " version=\"" << *c.announced << "\"";

    // A root without products builds nothing, but the check still runs.
    storeCatalogue (root + "/>");
    main.loadProducts();

    EXPECT_TRUE (main.allProducts.isEmpty());
    EXPECT_EQ (main.updateNotice != nullptr, c.noticeExpected);

    auto* dialog = findDialogWindow ("New version available");
    EXPECT_EQ (dialog != nullptr, c.noticeExpected);

    if (main.updateNotice != nullptr && dialog != nullptr)
    {
        EXPECT_EQ (dialog->getContentComponent(), main.updateNotice.get());
        EXPECT_TRUE (dialog->isCurrentlyModal());
        EXPECT_EQ (main.updateNotice->getWidth(), 600);
        EXPECT_EQ (main.updateNotice->getHeight(), 280);
        EXPECT_EQ (main.updateNotice->image.link.toString (true), Addresses::getDownloadPage().toString (true));
    }
}

INSTANTIATE_TEST_SUITE_P (AgainstOwnVersion1010,
                          NewVersionCheckTest,
                          ::testing::Values (VersionCase { "same", juce::String ("1.0.10"), false },
                                             VersionCase { "nextBuild", juce::String ("1.0.11"), true },
                                             VersionCase { "minorCountsLess", juce::String ("1.1.0"), false },
                                             VersionCase { "majorCountsLess", juce::String ("2.0.0"), false },
                                             VersionCase { "longerNumber", juce::String ("1.0.100"), true },
                                             VersionCase { "absent", std::nullopt, false },
                                             VersionCase { "empty", juce::String(), false }),
                          [] (const ::testing::TestParamInfo<VersionCase>& caseInfo)
                          { return std::string (caseInfo.param.label); });

TEST_F (LoadProductsTest, ProductsAreBuiltWhileTheNoticeIsOpen)
{
    storeCatalogue (R"(<INSTALLATION_MANAGER version="1.0.11"><PLUGIN name="One"/><EXE name="Two"/></INSTALLATION_MANAGER>)");

    main.loadProducts();

    EXPECT_NE (main.updateNotice, nullptr);
    EXPECT_NE (findDialogWindow ("New version available"), nullptr);
    EXPECT_EQ (namesOf (main.listedProducts), juce::StringArray ({ "One", "Two" }));

    main.updateNotice = nullptr;
}
} // namespace
