#include "app/VelmoraApplication.h"
#include "catalog/Bundle.h"
#include "catalog/CatalogueCheck.h"
#include "catalog/Executable.h"
#include "catalog/Plugin.h"

#include <BuildSettings.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The product code reaches the settings store and the images folder through the
// application object; here they are a store without a file and an empty folder.
namespace
{
std::unique_ptr<juce::ApplicationProperties> store;
juce::File images;

std::unique_ptr<ProductBase> createProduct (const juce::XmlElement& element)
{
    if (element.hasTagName ("PLUGIN"))
        return std::make_unique<Plugin>();

    if (element.hasTagName ("EXE"))
        return std::make_unique<Executable>();

    if (element.hasTagName ("BUNDLE"))
        return std::make_unique<Bundle>();

    return {};
}

// The archive address lies below the storage endpoint, without a query, a
// fragment or a parent folder in its path.
bool staysBelowTheStorage (ProductBase& product)
{
    auto endpoint = juce::String (VELMORA_STORAGE_URL) + "/";
    auto address = product.getDownloadUrl().toString (false);

    if (! address.startsWith (endpoint))
        return false;

    auto path = address.substring (endpoint.length());
    return ! path.containsAnyOf ("?#\\") && ! ("/" + path + "/").contains ("/../") && ! path.startsWith ("/");
}
} // namespace

juce::ApplicationProperties* VelmoraApplication::getSettings()
{
    return store.get();
}

juce::File VelmoraApplication::getImagesFolder()
{
    return images;
}

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    char pattern[] = "/tmp/velmora-fuzz-XXXXXX";

    if (::mkdtemp (pattern) == nullptr)
        std::abort();

    ::setenv ("HOME", pattern, 1);
    images = juce::File (pattern).getChildFile ("Velmora Images");

    juce::PropertiesFile::Options options;
    options.applicationName = "Velmora";
    options.filenameSuffix = "settings";
    options.folderName = "Tavoline Audio";
    options.doNotSave = true;
    store = std::make_unique<juce::ApplicationProperties>();
    store->setStorageParameters (options);
    return 0;
}

// Any bytes as a catalogue reply: what passes the check the framework parses without
// an error, and it is kept as one line and read back as the same document, and
// builds products whose archives stay below the storage endpoint.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // Read as the download reads a reply: into a memory stream, whose data the stream
    // ends with a zero byte. The framework's decoder reads that byte after a text that
    // is only a byte order mark.
    juce::MemoryOutputStream body (256);
    body.write (data, size);
    auto text = juce::String::createStringFromData (body.getData(), (int) body.getDataSize());

    if (CatalogueCheck::isSafe (text))
    {
        // The check takes a byte order mark, the framework's parser does not.
        juce::XmlDocument document (text.startsWithChar (0xfeff) ? text.substring (1) : text);

        if (document.getDocumentElement() == nullptr || document.getLastParseError().isNotEmpty())
            __builtin_trap();
    }

    auto xml = CatalogueCheck::parse (text);

    if (xml == nullptr)
        return 0;

    auto stored = CatalogueCheck::parse (xml->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader()));

    if (stored == nullptr || ! stored->isEquivalentTo (xml.get(), false))
        __builtin_trap();

    if (! stored->hasTagName ("INSTALLATION_MANAGER"))
        return 0;

    juce::OwnedArray<ProductBase> products;

    for (auto* element : stored->getChildIterator())
    {
        auto product = createProduct (*element);

        if (product == nullptr || ! product->loadFromXml (*element))
            continue;

        auto* added = products.add (product.release());

        if (auto* bundle = dynamic_cast<Bundle*> (added))
            products.addArray (bundle->products);
    }

    for (auto* product : products)
    {
        if (! staysBelowTheStorage (*product))
            __builtin_trap();

        product->getStatus();
    }

    return 0;
}
