#include "catalog/CatalogueCheck.h"

#include <cstring>
#include <expat.h>

namespace
{
struct CheckState
{
    XML_Parser parser;
    const CatalogueCheck::Limits& limits;
    int depth = 0;
    int elements = 0;
    bool refused = false;

    void refuse()
    {
        if (! refused)
        {
            refused = true;
            XML_StopParser (parser, XML_FALSE);
        }
    }
};

CheckState& stateOf (void* userData)
{
    return *static_cast<CheckState*> (userData);
}

void XMLCALL startElement (void* userData, const XML_Char*, const XML_Char** attributes)
{
    auto& state = stateOf (userData);

    if (++state.depth > state.limits.maxDepth || ++state.elements > state.limits.maxElements)
    {
        state.refuse();
        return;
    }

    int count = 0;

    for (auto** attribute = attributes; *attribute != nullptr; attribute += 2)
    {
        if (++count > state.limits.maxAttributesPerElement
            || std::strlen (attribute[1]) > state.limits.maxAttributeBytes)
        {
            state.refuse();
            return;
        }
    }
}

void XMLCALL endElement (void* userData, const XML_Char*)
{
    --stateOf (userData).depth;
}

// The framework keeps any text that is not white space as a text element, and
// its one-line writer fails on an element that follows one.
void XMLCALL characterData (void* userData, const XML_Char* text, int length)
{
    for (int i = 0; i < length; ++i)
    {
        auto c = text[i];

        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
        {
            stateOf (userData).refuse();
            return;
        }
    }
}

// Every CDATA section becomes a text element, even an empty one.
void XMLCALL startCdata (void* userData)
{
    stateOf (userData).refuse();
}

// The framework's parser loops on a processing instruction followed by text, and
// on entity declarations; the XML declaration is reported elsewhere.
void XMLCALL processingInstruction (void* userData, const XML_Char*, const XML_Char*)
{
    stateOf (userData).refuse();
}

void XMLCALL startDoctype (void* userData, const XML_Char*, const XML_Char*, const XML_Char*, int)
{
    stateOf (userData).refuse();
}

void XMLCALL entityDeclaration (void* userData, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*)
{
    stateOf (userData).refuse();
}

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

    // The text is UTF-8 whatever its declaration names: it has been decoded already.
    auto parser = XML_ParserCreate ("UTF-8");

    if (parser == nullptr)
        return false;

    CheckState state { parser, limits };
    XML_SetUserData (parser, &state);
    XML_SetElementHandler (parser, startElement, endElement);
    XML_SetCharacterDataHandler (parser, characterData);
    XML_SetStartCdataSectionHandler (parser, startCdata);
    XML_SetProcessingInstructionHandler (parser, processingInstruction);
    XML_SetStartDoctypeDeclHandler (parser, startDoctype);
    XML_SetEntityDeclHandler (parser, entityDeclaration);
    XML_SetParamEntityParsing (parser, XML_PARAM_ENTITY_PARSING_NEVER);

    auto parsed = XML_Parse (parser, utf8, (int) numBytes, XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree (parser);

    return parsed && ! state.refused;
}

bool CatalogueCheck::isSafe (const juce::String& text, const Limits& limits)
{
    return isSafe (text.toRawUTF8(), text.getNumBytesAsUTF8(), limits);
}

std::unique_ptr<juce::XmlElement> CatalogueCheck::parse (const juce::String& text)
{
    if (! isSafe (text))
        return {};

    auto xml = juce::parseXML (text);

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
