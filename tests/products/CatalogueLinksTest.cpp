#include "app/Addresses.h"
#include "products/ProductsTestSupport.h"
#include "support/FakeOpener.h"

using namespace ProductsTestSupport;

namespace
{
juce::String openerStart (const juce::String& address)
{
    return FakeOpener::describeCall ("xdg-open", { address });
}

class CatalogueLinksTest : public ::testing::Test
{
protected:
    void TearDown() override { closeModalWindows(); }

    StartedMainComponent main;
};
} // namespace

TEST_F (CatalogueLinksTest, TheLinkColumnOpensOnlyWebPagesAndNeverThroughAShell)
{
    FakeOpener opener;
    auto webPages = opener.getShellTraps();
    const juce::StringArray otherPages { "file:///etc/passwd", "/bin/touch", "javascript:alert(1)", "" };

    juce::XmlElement catalogue ("INSTALLATION_MANAGER");
    catalogue.setAttribute ("version", "1.0.10");
    juce::StringArray pages (webPages);
    pages.addArray (otherPages);

    for (int i = 0; i < pages.size(); ++i)
    {
        auto* plugin = catalogue.createNewChildElement ("PLUGIN");
        plugin->setAttribute ("name", "Product " + juce::String (i));
        plugin->setAttribute ("pruductPage", pages[i]);
    }

    storeCatalogue (catalogue.toString());
    main.loadProducts();
    main.productList.table.updateContent();
    ASSERT_EQ (main.listedProducts.size(), pages.size());

    for (int row = 0; row < pages.size(); ++row)
    {
        ASSERT_EQ (main.listedProducts[row]->productPage, pages[row]);
        auto* link = dynamic_cast<juce::HyperlinkButton*> (main.productList.table.getCellComponent (ListProductView::productPageColumn, row));
        ASSERT_NE (link, nullptr) << row;
        link->triggerClick();
        TestSupport::pumpFor (20);
    }

    juce::StringArray expected;

    for (auto& page : webPages)
        expected.add (openerStart (page));

    EXPECT_EQ (opener.waitForCalls (expected.size()), FakeOpener::listCalls (expected));
    EXPECT_EQ (opener.getTrapFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST_F (CatalogueLinksTest, TheNewVersionPictureOpensTheDownloadPage)
{
    storeCatalogue ("<INSTALLATION_MANAGER version=\"1.0.11\"/>");
    main.loadProducts();
    ASSERT_NE (main.updateNotice, nullptr);

    FakeOpener opener;
    auto& picture = main.updateNotice->image;
    auto now = juce::Time::getCurrentTime();
    picture.mouseDown (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {}, juce::ModifierKeys::leftButtonModifier, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &picture, &picture, now, {}, now, 1, false));

    auto page = Addresses::getSiteHome().toString (false).trimCharactersAtEnd ("/") + "/pages/tavoline-audio-velmora";
    EXPECT_EQ (opener.waitForCalls (1), openerStart (page));
}
