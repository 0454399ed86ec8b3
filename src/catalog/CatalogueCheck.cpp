#include "catalog/CatalogueCheck.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace
{
bool isBlank (unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The characters an XML document may hold, as text or through a reference.
bool isXmlCharacter (uint32_t c)
{
    return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c <= 0xd7ff)
           || (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff);
}

// The length of the UTF-8 sequence at p and the character it encodes, or 0 when
// it is no shortest-form sequence of a character XML allows.
size_t readCharacter (const unsigned char* p, const unsigned char* end, uint32_t& c)
{
    static constexpr uint32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    auto first = *p;
    size_t length = 0;

    if (first < 0x80)
        length = 1;
    else if (first >= 0xc2 && first <= 0xdf)
        length = 2;
    else if (first >= 0xe0 && first <= 0xef)
        length = 3;
    else if (first >= 0xf0 && first <= 0xf4)
        length = 4;

    if (length == 0 || (size_t) (end - p) < length)
        return 0;

    // A lead byte of n bytes keeps 7 - n bits of the character.
    c = length == 1 ? first : (uint32_t) (first & (0x7f >> length));

    for (size_t i = 1; i < length; ++i)
    {
        if ((p[i] & 0xc0) != 0x80)
            return 0;

        c = (c << 6) | (uint32_t) (p[i] & 0x3f);
    }

    return c >= smallest[length] && isXmlCharacter (c) ? length : 0;
}

// Beyond ASCII, only the letters and digits the framework's parser reads in a name,
// within the ranges XML allows.
bool isNameCharacter (uint32_t c, bool first)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':'
               || (! first && ((c >= '0' && c <= '9') || c == '-' || c == '.'));

    static constexpr uint32_t ranges[][2] = {
        { 0xc0, 0xd6 }, { 0xd8, 0xf6 }, { 0xf8, 0x2ff }, { 0x370, 0x37d }, { 0x37f, 0x1fff }, { 0x200c, 0x200d }, { 0x2070, 0x218f }, { 0x2c00, 0x2fef }, { 0x3001, 0xd7ff }, { 0xf900, 0xfdcf }, { 0xfdf0, 0xfffd }, { 0x10000, 0xeffff }
    };

    auto inRanges = std::any_of (std::begin (ranges), std::end (ranges), [c] (auto& range)
                                 { return c >= range[0] && c <= range[1]; });

    return inRanges && juce::CharacterFunctions::isLetterOrDigit ((juce::juce_wchar) c);
}

size_t bytesOfCharacter (uint32_t c)
{
    if (c < 0x80)
        return 1;

    if (c < 0x800)
        return 2;

    return c < 0x10000 ? 3 : 4;
}

// One pass over a text of valid UTF-8: the optional declaration, the root element
// with the elements inside it, and blanks and comments around them. Anything else
// stops it.
class DocumentScanner
{
public:
    DocumentScanner (const char* text, size_t numBytes, const CatalogueCheck::Limits& limitsToUse)
        : pos (reinterpret_cast<const unsigned char*> (text)), end (pos + numBytes), limits (limitsToUse)
    {
    }

    bool scanDocument()
    {
        skip ("\xef\xbb\xbf");

        if (lookingAt ("<?") && ! scanDeclaration())
            return false;

        if (! skipBlanksAndComments() || ! scanStartTag())
            return false;

        while (! openElements.empty())
        {
            if (! skipBlanksAndComments())
                return false;

            if (skip ("</"))
            {
                if (! scanEndTag())
                    return false;
            }
            else if (! scanStartTag())
            {
                return false;
            }
        }

        return skipBlanksAndComments() && pos == end;
    }

private:
    const unsigned char* pos;
    const unsigned char* const end;
    const CatalogueCheck::Limits& limits;
    std::vector<std::string_view> openElements;
    std::vector<std::string_view> attributeNames;
    int elements = 0;

    bool lookingAt (std::string_view text) const
    {
        return (size_t) (end - pos) >= text.size() && std::memcmp (pos, text.data(), text.size()) == 0;
    }

    bool skip (std::string_view text)
    {
        if (! lookingAt (text))
            return false;

        pos += text.size();
        return true;
    }

    bool skipBlanks()
    {
        auto* start = pos;

        while (pos != end && isBlank (*pos))
            ++pos;

        return pos != start;
    }

    // False at a comment that holds "--" or is left open.
    bool skipBlanksAndComments()
    {
        for (;;)
        {
            skipBlanks();

            if (! skip ("<!--"))
                return true;

            static constexpr char dashes[] = "--";
            auto* close = std::search (pos, end, dashes, dashes + 2);

            if (end - close < 3 || close[2] != '>')
                return false;

            pos = close + 3;
        }
    }

    // The name that starts here; empty when none does.
    std::string_view scanName()
    {
        auto* start = pos;
        uint32_t c = 0;

        while (pos != end)
        {
            auto length = readCharacter (pos, end, c);

            if (length == 0 || ! isNameCharacter (c, pos == start))
                break;

            pos += length;
        }

        return { reinterpret_cast<const char*> (start), (size_t) (pos - start) };
    }

    // A quoted value of the declaration, whole and as the given check wants it.
    bool scanDeclarationValue (std::string_view name, bool (*isValid) (std::string_view))
    {
        if (! skip (name))
            return false;

        skipBlanks();

        if (! skip ("="))
            return false;

        skipBlanks();

        if (pos == end || (*pos != '"' && *pos != '\''))
            return false;

        auto* start = ++pos;
        auto* close = std::find (pos, end, pos[-1]);

        if (close == end)
            return false;

        pos = close + 1;
        return isValid ({ reinterpret_cast<const char*> (start), (size_t) (close - start) });
    }

    static bool isVersion (std::string_view value)
    {
        return value.size() > 2 && value.substr (0, 2) == "1."
               && std::all_of (value.begin() + 2, value.end(), [] (char c)
                               { return c >= '0' && c <= '9'; });
    }

    static bool isEncodingName (std::string_view value)
    {
        auto isLetter = [] (char c)
        { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };

        return ! value.empty() && isLetter (value[0])
               && std::all_of (value.begin(), value.end(), [isLetter] (char c)
                               { return isLetter (c) || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-'; });
    }

    static bool isYesOrNo (std::string_view value)
    {
        return value == "yes" || value == "no";
    }

    // <?xml version="1.x" encoding="..." standalone="..."?>, the last two optional.
    // Whatever encoding it names, the text is UTF-8 by now.
    bool scanDeclaration()
    {
        if (! skip ("<?xml") || ! skipBlanks() || ! scanDeclarationValue ("version", isVersion))
            return false;

        auto blank = skipBlanks();

        if (blank && lookingAt ("encoding"))
        {
            if (! scanDeclarationValue ("encoding", isEncodingName))
                return false;

            blank = skipBlanks();
        }

        if (blank && lookingAt ("standalone"))
        {
            if (! scanDeclarationValue ("standalone", isYesOrNo))
                return false;

            skipBlanks();
        }

        return skip ("?>");
    }

    // Text, references, CDATA sections, processing instructions and document types
    // all end up here, and none of them starts with '<' and a name.
    bool scanStartTag()
    {
        if (! skip ("<"))
            return false;

        auto name = scanName();

        if (name.empty() || ++elements > limits.maxElements || (int) openElements.size() >= limits.maxDepth)
            return false;

        attributeNames.clear();

        for (;;)
        {
            auto blank = skipBlanks();

            if (skip ("/>"))
                return true;

            if (skip (">"))
            {
                openElements.push_back (name);
                return true;
            }

            if (! blank || ! scanAttribute())
                return false;
        }
    }

    bool scanEndTag()
    {
        if (scanName() != openElements.back())
            return false;

        skipBlanks();
        openElements.pop_back();
        return skip (">");
    }

    bool scanAttribute()
    {
        auto name = scanName();

        if (name.empty() || (int) attributeNames.size() >= limits.maxAttributesPerElement
            || std::find (attributeNames.begin(), attributeNames.end(), name) != attributeNames.end())
            return false;

        attributeNames.push_back (name);
        skipBlanks();

        if (! skip ("="))
            return false;

        skipBlanks();

        if (pos == end || (*pos != '"' && *pos != '\''))
            return false;

        auto quote = *pos++;
        size_t decodedBytes = 0;

        while (pos != end && *pos != quote)
        {
            if (*pos == '<')
                return false;

            if (*pos == '&')
            {
                ++pos;

                if (! scanReference (decodedBytes))
                    return false;
            }
            else
            {
                ++pos;
                ++decodedBytes;
            }

            if (decodedBytes > limits.maxAttributeBytes)
                return false;
        }

        return skip (std::string_view (reinterpret_cast<const char*> (&quote), 1));
    }

    // A reference after its '&': one of the five predefined entities, or a character
    // by its number, in no more digits than the framework's parser reads.
    bool scanReference (size_t& decodedBytes)
    {
        for (auto* entity : { "amp;", "lt;", "gt;", "quot;", "apos;" })
        {
            if (skip (entity))
            {
                ++decodedBytes;
                return true;
            }
        }

        if (! skip ("#"))
            return false;

        auto hex = skip ("x");
        auto maxDigits = hex ? 8 : 12;
        uint64_t value = 0;
        int digits = 0;

        for (; pos != end && *pos != ';'; ++pos)
        {
            auto digit = juce::CharacterFunctions::getHexDigitValue (*pos);

            if (digit < 0 || (! hex && digit > 9) || ++digits > maxDigits)
                return false;

            value = value * (hex ? 16 : 10) + (uint64_t) digit;
        }

        if (! skip (";") || digits == 0 || value > 0x10ffff || ! isXmlCharacter ((uint32_t) value))
            return false;

        decodedBytes += bytesOfCharacter ((uint32_t) value);
        return true;
    }

    JUCE_DECLARE_NON_COPYABLE (DocumentScanner)
};

bool isSeparator (juce::juce_wchar c)
{
    return c == '/' || c == '\\';
}

// "..", or what Windows reads as ".." once it drops trailing dots and blanks.
bool isParentSegment (const juce::String& segment)
{
    return segment.containsOnly (". ") && segment.indexOfChar ('.') != segment.lastIndexOfChar ('.');
}
} // namespace

bool CatalogueCheck::isSafe (const char* utf8, size_t numBytes, const Limits& limits)
{
    if (utf8 == nullptr || numBytes == 0 || numBytes > limits.maxBytes)
        return false;

    auto* bytes = reinterpret_cast<const unsigned char*> (utf8);
    uint32_t c = 0;

    // Valid UTF-8 of characters XML allows, which leaves out the zero byte.
    for (auto* p = bytes; p != bytes + numBytes;)
    {
        auto length = readCharacter (p, bytes + numBytes, c);

        if (length == 0)
            return false;

        p += length;
    }

    return DocumentScanner (utf8, numBytes, limits).scanDocument();
}

bool CatalogueCheck::isSafe (const juce::String& text, const Limits& limits)
{
    return isSafe (text.toRawUTF8(), text.getNumBytesAsUTF8(), limits);
}

std::unique_ptr<juce::XmlElement> CatalogueCheck::parse (const juce::String& text)
{
    if (! isSafe (text))
        return {};

    // The framework's parser reads no byte order mark, and it carries on past some
    // errors; a text it reports one for is not taken.
    juce::XmlDocument document (text.startsWithChar (0xfeff) ? text.substring (1) : text);
    auto xml = document.getDocumentElement();

    if (document.getLastParseError().isNotEmpty())
        return {};

    // Escaping can make the one-line form longer than the text it came from.
    if (xml == nullptr || ! isSafe (xml->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader())))
        return {};

    return xml;
}

bool CatalogueCheck::isSafeRelativePath (const juce::String& path)
{
    // Absolute: a separator, a drive ("C:", also "C:name") or the home folder ("~").
    if (isSeparator (path[0]) || path[0] == '~' || (path.isNotEmpty() && path[1] == ':'))
        return false;

    for (auto c : path)
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
            return false;

    int start = 0;

    for (int i = 0; i <= path.length(); ++i)
    {
        if (i == path.length() || isSeparator (path[i]))
        {
            if (isParentSegment (path.substring (start, i)))
                return false;

            start = i + 1;
        }
    }

    return true;
}

bool CatalogueCheck::hasSafePaths (const juce::XmlElement& product)
{
    for (auto* attribute : { "name", "folder", "file", "fileWin" })
        if (! isSafeRelativePath (product.getStringAttribute (attribute)))
            return false;

    return true;
}
