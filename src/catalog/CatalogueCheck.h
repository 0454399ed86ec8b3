#pragma once

#include "app/Common.h"

// The gate every catalogue text passes before the framework's XML code sees it.
// A text passes when it is a well-formed document within fixed limits and holds
// none of the constructs the framework's parser or writer mishandles: a document
// type or entity declaration, a processing instruction, a CDATA section, or text
// between elements other than blanks and line breaks.
class CatalogueCheck
{
public:
    struct Limits
    {
        size_t maxBytes;
        int maxDepth;
        size_t maxAttributeBytes;
        int maxAttributesPerElement;
        int maxElements;
    };

    // A real catalogue lists a few hundred products in well under 1 MiB.
    static constexpr Limits catalogueLimits {
        16 * 1024 * 1024, // the whole text, as UTF-8
        32, // root, bundle and member need 3
        4096, // one attribute's value, once decoded
        64, // a product element reads 9
        10000 // every element counts, the root too
    };

    // Whether the UTF-8 text passes within the limits.
    static bool isSafe (const char* utf8, size_t numBytes, const Limits& limits);
    static bool isSafe (const juce::String& text, const Limits& limits = catalogueLimits);

    // The parsed document when the text passes and so does its one-line form, the
    // form the settings store keeps and reads back at the next start; else null.
    static std::unique_ptr<juce::XmlElement> parse (const juce::String& text);

    // Whether a product element's "name", "folder", "file" and "fileWin" are paths
    // that stay below the folders they are joined to.
    static bool hasSafePaths (const juce::XmlElement& product);
    static bool isSafeRelativePath (const juce::String& path);

private:
    CatalogueCheck() = delete;
};
