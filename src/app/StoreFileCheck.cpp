#include "app/StoreFileCheck.h"
#include "catalog/CatalogueCheck.h"
#include "platform/PlatformLayer.h"

namespace
{
// Room for a stored catalogue of the largest size, written out with the
// framework's indentation, beside the store's other values.
constexpr CatalogueCheck::Limits storeLimits {
    2 * CatalogueCheck::catalogueLimits.maxBytes,
    CatalogueCheck::catalogueLimits.maxDepth + 2,
    CatalogueCheck::catalogueLimits.maxBytes,
    CatalogueCheck::catalogueLimits.maxAttributesPerElement,
    CatalogueCheck::catalogueLimits.maxElements + 1000
};
} // namespace

bool StoreFileCheck::isReadableStore (const juce::MemoryBlock& content)
{
    // Decoded as the framework's file reader decodes them: UTF-16 after its byte
    // order mark, anything else parsed as UTF-8 as it stands.
    auto* bytes = static_cast<const char*> (content.getData());
    auto size = content.getSize();
    juce::String text;

    if (size >= 2 && (juce::CharPointer_UTF16::isByteOrderMarkBigEndian (bytes) || juce::CharPointer_UTF16::isByteOrderMarkLittleEndian (bytes)))
    {
        text = juce::String::createStringFromData (bytes, (int) size);

        if (! CatalogueCheck::isSafe (text, storeLimits))
            return false;
    }
    else
    {
        if (size >= 3 && juce::CharPointer_UTF8::isByteOrderMark (bytes))
        {
            bytes += 3;
            size -= 3;
        }

        if (! CatalogueCheck::isSafe (bytes, size, storeLimits))
            return false;

        text = juce::String::fromUTF8 (bytes, (int) size);
    }

    auto root = juce::parseXML (text);
    return root != nullptr && root->hasTagName ("PROPERTIES");
}

StoreFileCheck::Outcome StoreFileCheck::setAsideIfUnreadable (const juce::File& file)
{
    juce::MemoryBlock content;
    auto state = PlatformLayer::readStoreFile (file, storeLimits.maxBytes, content);

    if (state == PlatformLayer::StoreFileState::missing)
        return {};

    // An empty file holds nothing to lose.
    if (state == PlatformLayer::StoreFileState::readable && (content.isEmpty() || isReadableStore (content)))
        return {};

    auto copy = getDatedCopy (file, juce::Time::getCurrentTime());

    if (PlatformLayer::moveAside (file, copy))
        return { copy, false };

    return { {}, true };
}

juce::File StoreFileCheck::getDatedCopy (const juce::File& file, juce::Time when)
{
    auto base = file.getFullPathName() + ".unreadable-" + when.formatted ("%Y%m%d-%H%M%S");
    juce::File copy (base);

    for (int i = 2; copy.exists() || copy.isSymbolicLink(); ++i)
        copy = juce::File (base + "-" + juce::String (i));

    return copy;
}
