#include "catalog/CatalogueCheck.h"
#include "support/TestSupport.h"

namespace
{
juce::String repeated (const juce::String& text, int times)
{
    juce::String result;
    result.preallocateBytes ((size_t) (text.getNumBytesAsUTF8() * (size_t) times + 1));

    for (int i = 0; i < times; ++i)
        result << text;

    return result;
}

juce::String nested (int depth)
{
    return repeated ("<BUNDLE>", depth - 1) + repeated ("</BUNDLE>", depth - 1);
}

juce::String withProducts (int count)
{
    return "<INSTALLATION_MANAGER>" + repeated ("<PLUGIN/>", count) + "</INSTALLATION_MANAGER>";
}

juce::String withAttributes (int count)
{
    juce::String attributes;

    for (int i = 0; i < count; ++i)
        attributes << " a" << i << "=\"\"";

    return "<INSTALLATION_MANAGER><PLUGIN" + attributes + "/></INSTALLATION_MANAGER>";
}

struct TextCase
{
    const char* label;
    juce::String text;
    bool passes;
};
} // namespace

TEST (CatalogueCheck, PassesOnlyPlainDocumentsWithinTheLimits)
{
    const juce::String longElement ("<PLUGIN name=\"Long\" nameView=\"A name long enough to pass sixty columns\" category=\"Synth\"/>");
    const juce::String attribute4k = juce::String::repeatedString ("x", 4096);
    const size_t largest = CatalogueCheck::catalogueLimits.maxBytes;
    const juce::String frame ("<INSTALLATION_MANAGER></INSTALLATION_MANAGER>");
    auto ofSize = [&frame] (size_t bytes)
    {
        return "<INSTALLATION_MANAGER>" + juce::String::repeatedString (" ", (int) (bytes - (size_t) frame.length())) + "</INSTALLATION_MANAGER>";
    };

    const std::vector<TextCase> cases {
        { "declaration, comments, blanks and line breaks", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n<INSTALLATION_MANAGER version=\"1.0.10\">\r\n\t<PLUGIN name=\"A &amp; B\" nameView=\"&#x41;&#66;\"/>\n  <!-- note -->\n</INSTALLATION_MANAGER>\n", true },
        { "declaration naming another encoding", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><INSTALLATION_MANAGER/>", true },
        { "long elements without text", "<INSTALLATION_MANAGER>" + longElement + longElement + "</INSTALLATION_MANAGER>", true },
        { "stray text before a long element", "<INSTALLATION_MANAGER>stray" + longElement + "</INSTALLATION_MANAGER>", false },
        { "text after the last element", "<INSTALLATION_MANAGER>" + longElement + "x</INSTALLATION_MANAGER>", false },
        { "a blank that is no XML blank", juce::String (juce::CharPointer_UTF8 ("<INSTALLATION_MANAGER>\xc2\xa0</INSTALLATION_MANAGER>")), false },
        { "text by a character reference", "<INSTALLATION_MANAGER>&#65;</INSTALLATION_MANAGER>", false },
        { "empty CDATA section", "<INSTALLATION_MANAGER><![CDATA[]]>" + longElement + "</INSTALLATION_MANAGER>", false },
        { "processing instruction and text", "<INSTALLATION_MANAGER version=\"1.0.10\"><?note?>x</INSTALLATION_MANAGER>", false },
        { "processing instruction before the root", "<?xml version=\"1.0\"?><?style x?><INSTALLATION_MANAGER/>", false },
        { "entity using an undeclared one", "<!DOCTYPE X [<!ENTITY a \"ab;&c;\">]><INSTALLATION_MANAGER>&a;</INSTALLATION_MANAGER>", false },
        { "entity using itself", "<!DOCTYPE X [<!ENTITY a \"xy-;&a;\">]><INSTALLATION_MANAGER>&a;</INSTALLATION_MANAGER>", false },
        { "entity in an attribute", "<!DOCTYPE X [<!ENTITY a \"xy-;&a;\">]><INSTALLATION_MANAGER><PLUGIN name=\"&a;\"/></INSTALLATION_MANAGER>", false },
        { "document type alone", "<!DOCTYPE INSTALLATION_MANAGER><INSTALLATION_MANAGER/>", false },
        { "character reference cut at the end", "<INSTALLATION_MANAGER>&#x41", false },
        { "undeclared entity", "<INSTALLATION_MANAGER name=\"&nbsp;\"/>", false },
        { "cut short", "<INSTALLATION_MANAGER><PLUGIN name=\"x\"/>", false },
        { "mismatched end tag", "<INSTALLATION_MANAGER></PLUGIN>", false },
        { "two roots", "<INSTALLATION_MANAGER/><INSTALLATION_MANAGER/>", false },
        { "not XML", "Service Unavailable", false },
        { "empty", "", false },
        { "depth 32", "<INSTALLATION_MANAGER>" + nested (32) + "</INSTALLATION_MANAGER>", true },
        { "depth 33", "<INSTALLATION_MANAGER>" + nested (33) + "</INSTALLATION_MANAGER>", false },
        { "depth 100,000", "<INSTALLATION_MANAGER>" + nested (99999) + "</INSTALLATION_MANAGER>", false },
        { "attribute of 4 KiB", "<INSTALLATION_MANAGER><PLUGIN name=\"" + attribute4k + "\"/></INSTALLATION_MANAGER>", true },
        { "attribute one byte longer", "<INSTALLATION_MANAGER><PLUGIN name=\"" + attribute4k + "x\"/></INSTALLATION_MANAGER>", false },
        { "attribute longer once decoded", "<INSTALLATION_MANAGER><PLUGIN name=\"" + juce::String::repeatedString ("&#x10000;", 1025) + "\"/></INSTALLATION_MANAGER>", false },
        { "64 attributes", withAttributes (64), true },
        { "65 attributes", withAttributes (65), false },
        { "10,000 elements", withProducts (9999), true },
        { "10,001 elements", withProducts (10000), false },
        { "100,000 products", withProducts (100000), false },
        { "16 MiB", ofSize (largest), true },
        { "one byte more", ofSize (largest + 1), false },
    };

    for (auto& c : cases)
        EXPECT_EQ (CatalogueCheck::isSafe (c.text), c.passes) << c.label;
}

TEST (CatalogueCheck, ParsesOnlyWhatPassesAndKeepsPassingWhenStoredAsOneLine)
{
    auto root = CatalogueCheck::parse ("<INSTALLATION_MANAGER version=\"1.0.10\">\n  <PLUGIN name=\"One\"/>\n</INSTALLATION_MANAGER>");
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getNumChildElements(), 1);

    EXPECT_EQ (CatalogueCheck::parse ("<INSTALLATION_MANAGER>x<PLUGIN name=\"One\"/></INSTALLATION_MANAGER>"), nullptr);

    // Within the limit as sent, beyond it once the quotes are escaped for storing.
    auto attributes = juce::String::repeatedString ("<PLUGIN name='" + juce::String::repeatedString ("\"", 4000) + "'/>", 1000);
    auto grows = "<INSTALLATION_MANAGER>" + attributes + "</INSTALLATION_MANAGER>";
    ASSERT_TRUE (CatalogueCheck::isSafe (grows));
    EXPECT_EQ (CatalogueCheck::parse (grows), nullptr);
}

TEST (CatalogueCheck, RelativePathsStayBelowTheirFolder)
{
    struct Case
    {
        const char* path;
        bool passes;
    };

    const Case cases[] = {
        { "", true },
        { "My Synth", true },
        { "Effects/2024", true },
        { "Gamma\\Gamma.exe", true },
        { "What?#", true },
        { "a..b", true },
        { "./here", true },
        { "..", false },
        { "../Escaped", false },
        { "a/../../b", false },
        { "a\\..\\b", false },
        { "a/..", false },
        { "a/.. /b", false },
        { "a/.../b", false },
        { "/etc/passwd", false },
        { "\\\\server\\share", false },
        { "C:\\Windows\\notepad.exe", false },
        { "c:relative", false },
        { "~/file", false },
        { "line\nbreak", false },
        { "tab\tstop", false },
        { "delete\x7f", false },
    };

    for (auto& c : cases)
        EXPECT_EQ (CatalogueCheck::isSafeRelativePath (c.path), c.passes) << c.path;

    EXPECT_FALSE (CatalogueCheck::isSafeRelativePath (juce::String::charToString (0x85)));
}
