#include "catalog/CatalogueCheck.h"
#include "support/TestSupport.h"

#include <string_view>

using namespace std::string_view_literals;

namespace
{
// Appending to a juce::String measures it each time; this copies in one pass.
juce::String repeated (const juce::String& text, int times)
{
    return juce::String::repeatedString (text, times);
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

// Short texts as raw bytes, so that broken UTF-8 and zero bytes reach the check
// as they are. What passes must be parsed by the framework without an error.
TEST (CatalogueCheck, PassesOnlyWellFormedDocuments)
{
    struct ByteCase
    {
        const char* label;
        std::string_view bytes;
        bool passes;
    };

    const ByteCase cases[] = {
        { "empty root", "<a/>", true },
        { "start and end tag", "<a></a >", true },
        { "nested elements", "<a><b></b><c/><b/></a>", true },
        { "blanks around attributes", "<a \t x = \"1\"\r\n y='2' />", true },
        { "quotes, '>' and predefined entities in values", "<a x='\"&lt;&gt;&amp;&quot;&apos;>' y=\"'\"/>", true },
        { "edge characters by number", "<a x='&#x10FFFF;&#xD7FF;&#xE000;&#xFFFD;&#9;&#10;&#13;&#32;'/>", true },
        { "eight hex digits, twelve decimal ones", "<a x='&#x00000041;&#000000000066;'/>", true },
        { "name characters", "<_:.b-c.9 d:e='1' _f-.2=''/>", true },
        { "blanks and line breaks between elements", "<a>\n\t\r <b/>\n</a>\n", true },
        { "comments everywhere blanks may be", "<!-- before --><a><!----><b/><!-- - --></a><!-- after -->\n", true },
        { "UTF-8 in values and comments", "<!-- \xc3\xa9 --><a x='\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb9'/>", true },
        { "full declaration", "<?xml version='1.0' encoding=\"UTF-8\" standalone='yes' ?>\n<a/>", true },
        { "byte order mark and declaration", "\xef\xbb\xbf<?xml version=\"1.0\"?><a/>", true },
        { "byte order mark alone", "\xef\xbb\xbf<a/>", true },

        { "empty", "", false },
        { "only blanks", " \n", false },
        { "only a comment", "<!-- c -->", false },
        { "unclosed root", "<a>", false },
        { "unclosed child", "<a><b></a>", false },
        { "crossed tags", "<a><b></a></b>", false },
        { "end tag of another name", "<a></b>", false },
        { "end tag in another case", "<a></A>", false },
        { "end tag one letter longer", "<a></ab>", false },
        { "end tag only", "</a>", false },
        { "end tag after the root", "<a/></a>", false },
        { "two roots", "<a/><b/>", false },
        { "text after the root", "<a/>x", false },
        { "text before the root", "x<a/>", false },
        { "text inside", "<a>x</a>", false },
        { "reference as text", "<a>&amp;</a>", false },
        { "vertical tab as blank", "<a>\v</a>", false },
        { "unquoted value", "<a x=1/>", false },
        { "attribute without value", "<a x/>", false },
        { "duplicate attribute", "<a x='1' x='2'/>", false },
        { "no blank between attributes", "<a x='1'y='2'/>", false },
        { "'<' in a value", "<a x='<'/>", false },
        { "quotes that do not match", "<a x='1\"/>", false },
        { "value left open", "<a x='1/>", false },
        { "unknown entity", "<a x='&nbsp;'/>", false },
        { "predefined entity in capitals", "<a x='&AMP;'/>", false },
        { "reference without ';'", "<a x='&amp'/>", false },
        { "bare '&'", "<a x='a & b'/>", false },
        { "reference to character 0", "<a x='&#0;'/>", false },
        { "reference to character 0 in hex", "<a x='&#x0;'/>", false },
        { "reference to the first surrogate", "<a x='&#xD800;'/>", false },
        { "reference to the last surrogate", "<a x='&#57343;'/>", false },
        { "reference beyond Unicode", "<a x='&#x110000;'/>", false },
        { "reference to a control character", "<a x='&#1;'/>", false },
        { "reference to a non-character", "<a x='&#xFFFE;'/>", false },
        { "reference without digits", "<a x='&#x;'/>", false },
        { "reference without a number", "<a x='&#;'/>", false },
        { "hex reference with 'X'", "<a x='&#X41;'/>", false },
        { "hex digit in a decimal reference", "<a x='&#1a;'/>", false },
        { "nine hex digits", "<a x='&#x000000041;'/>", false },
        { "thirteen decimal digits", "<a x='&#0000000000065;'/>", false },
        { "name starting with a digit", "<1a/>", false },
        { "name starting with '-'", "<-a/>", false },
        { "name starting with '.'", "<.a/>", false },
        { "blank before the name", "< a/>", false },
        { "attribute name starting with a digit", "<a 1x='1'/>", false },
        { "sign in a name", "<a!/>", false },
        { "cut UTF-8 sequence", "<a x='\xc3'/>", false },
        { "overlong UTF-8", "<a x='\xc0\xaf'/>", false },
        { "overlong three-byte UTF-8", "<a x='\xe0\x80\xaf'/>", false },
        { "surrogate in UTF-8", "<a x='\xed\xa0\x80'/>", false },
        { "UTF-8 beyond Unicode", "<a x='\xf4\x90\x80\x80'/>", false },
        { "stray continuation byte", "<a x='\x80'/>", false },
        { "byte 0xff", "<a x='\xff'/>", false },
        { "zero byte", "<a x='\0'/>"sv, false },
        { "zero byte after the root", "<a/>\0"sv, false },
        { "control character", "<a x='\x01'/>", false },
        { "comment holding \"--\"", "<a><!-- a -- b --></a>", false },
        { "comment ending in \"--->\"", "<a><!-- a ---></a>", false },
        { "comment left open", "<a><!-- open</a>", false },
        { "comment \"<!--->\"", "<!---><a/>", false },
        { "comment inside a tag", "<a <!-- c --> />", false },
        { "processing instruction after the declaration", "<?xml version='1.0'?><?pi x?><a/>", false },
        { "processing instruction inside", "<a><?pi?></a>", false },
        { "processing instruction after the root", "<a/><?pi?>", false },
        { "processing instruction named like the declaration", "<?xml-stylesheet href='x'?><a/>", false },
        { "declaration after a blank", " <?xml version='1.0'?><a/>", false },
        { "declaration after a comment", "<!-- c --><?xml version='1.0'?><a/>", false },
        { "declaration after the root", "<a/><?xml version='1.0'?>", false },
        { "declaration twice", "<?xml version='1.0'?><?xml version='1.0'?><a/>", false },
        { "byte order mark, blank, declaration", "\xef\xbb\xbf <?xml version='1.0'?><a/>", false },
        { "byte order mark after the root", "<a/>\xef\xbb\xbf", false },
        { "declaration without a version", "<?xml encoding='UTF-8'?><a/>", false },
        { "declaration of version 2.0", "<?xml version='2.0'?><a/>", false },
        { "declaration in another order", "<?xml encoding='UTF-8' version='1.0'?><a/>", false },
        { "declaration with another value", "<?xml version='1.0' standalone='maybe'?><a/>", false },
        { "declaration left open", "<?xml version='1.0'<a/>", false },
        { "CDATA section", "<a><![CDATA[x]]></a>", false },
        { "CDATA section before the root", "<![CDATA[]]><a/>", false },
        { "document type", "<!DOCTYPE a><a/>", false },
        { "entity declaration inside", "<a><!ENTITY x 'y'></a>", false },
    };

    for (auto& c : cases)
    {
        auto text = juce::String::fromUTF8 (c.bytes.data(), (int) c.bytes.size());
        EXPECT_EQ (CatalogueCheck::isSafe (c.bytes.data(), c.bytes.size(), CatalogueCheck::catalogueLimits), c.passes) << c.label;

        if (c.passes)
        {
            EXPECT_NE (CatalogueCheck::parse (text), nullptr) << c.label;
        }
    }

    auto demo = juce::File (VELMORA_DEMO_CATALOGUE).loadFileAsString();
    ASSERT_TRUE (demo.contains ("<INSTALLATION_MANAGER"));
    auto root = CatalogueCheck::parse (demo);
    ASSERT_NE (root, nullptr);
    EXPECT_GT (root->getNumChildElements(), 3);
}

// Beyond ASCII a name passes only when the framework's parser reads it as one.
TEST (CatalogueCheck, PassesNamesBeyondAsciiOnlyAsTheParserReadsThem)
{
    for (auto* text : { "<\xc3\xa9/>", "<a b\xc3\xa9='1'/>", "<\xe4\xb8\x80/>" })
    {
        auto string = juce::String::fromUTF8 (text);
        juce::XmlDocument document (string);
        auto parsed = document.getDocumentElement();
        auto readByTheParser = parsed != nullptr && document.getLastParseError().isEmpty();
        EXPECT_EQ (CatalogueCheck::isSafe (string), readByTheParser) << text;
    }
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
