// Times MainComponent::loadProducts on a catalogue of 2,000 products whose
// thumbnails are all present in the images folder.
#include "app/VelmoraApplication.h"
#include "ui/MainComponent.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int numProducts = 2000;
constexpr int numRuns = 10;

juce::JUCEApplicationBase* createApplication()
{
    return new VelmoraApplication();
}

void makeHome()
{
    char pattern[] = "/tmp/velmora-bench-XXXXXX";

    if (::mkdtemp (pattern) == nullptr)
        std::abort();

    ::setenv ("HOME", pattern, 1);
    ::unsetenv ("XDG_CONFIG_HOME");
    ::unsetenv ("XDG_RUNTIME_DIR");
    ::unsetenv ("XDG_CACHE_HOME");
    auto tmp = std::string (pattern) + "/tmp";
    juce::File (tmp).createDirectory();
    ::setenv ("TMPDIR", tmp.c_str(), 1);
}

// Plug-ins, programs and bundles of three members, one of them listed by itself.
juce::String makeCatalogue (juce::StringArray& names)
{
    juce::XmlElement root ("INSTALLATION_MANAGER");
    root.setAttribute ("version", "1.0.10");
    root.setAttribute ("productUpdateCount", 7);

    auto addProduct = [&names] (juce::XmlElement& parent, const juce::String& tag, int index)
    {
        auto* element = parent.createNewChildElement (tag);
        auto name = "Product " + juce::String (index);
        element->setAttribute ("name", name);
        element->setAttribute ("nameView", "Shown " + juce::String (numProducts - index));
        element->setAttribute ("category", "Category " + juce::String (index % 7));
        element->setAttribute ("version", "1.2." + juce::String (index % 10));
        element->setAttribute ("folder", "Folder" + juce::String (index % 5));
        element->setAttribute ("pruductPage", "http://127.0.0.1:9/products/" + juce::String (index));

        if (tag == "EXE")
            element->setAttribute ("fileWin", name + "/" + name + ".exe");

        names.add (name);
        return element;
    };

    int index = 0;

    while (index < numProducts)
    {
        if (index % 10 == 9 && index + 4 <= numProducts)
        {
            auto* bundle = addProduct (root, "BUNDLE", index++);

            for (int member = 0; member < 3; ++member)
            {
                auto* element = addProduct (*bundle, member == 2 ? "EXE" : "PLUGIN", index++);

                if (member == 0)
                    element->setAttribute ("isNoBundleAvailable", "1");
            }
        }
        else
        {
            addProduct (root, index % 4 == 3 ? "EXE" : "PLUGIN", index);
            ++index;
        }
    }

    return root.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
}

void writeThumbnails (const juce::StringArray& names)
{
    auto folder = VelmoraApplication::getImagesFolder();
    folder.createDirectory();

    juce::Image image (juce::Image::RGB, 64, 40, true);
    juce::Graphics g (image);
    g.setGradientFill (juce::ColourGradient (juce::Colours::orange, 0.0f, 0.0f, juce::Colours::navy, 64.0f, 40.0f, false));
    g.fillAll();

    juce::MemoryOutputStream jpeg;
    juce::JPEGImageFormat format;
    format.writeImageToStream (image, jpeg);

    for (auto& name : names)
        folder.getChildFile (name + ".jpg").replaceWithData (jpeg.getData(), jpeg.getDataSize());
}
} // namespace

int main()
{
    makeHome();

    {
        juce::ScopedJuceInitialiser_GUI gui;
        juce::JUCEApplicationBase::createInstance = &createApplication;
        std::unique_ptr<VelmoraApplication> application (static_cast<VelmoraApplication*> (createApplication()));
        application->openStoresAndFolders();

        juce::StringArray names;
        auto catalogue = makeCatalogue (names);
        writeThumbnails (names);
        VelmoraApplication::getSettings()->getUserSettings()->setValue ("xmlAppProducts", catalogue);

        std::vector<double> times;
        int listed = 0, owned = 0, thumbnails = 0;

        for (int run = 0; run < numRuns; ++run)
        {
            MainComponent main;

            auto start = juce::Time::getMillisecondCounterHiRes();
            main.loadProducts();
            times.push_back (juce::Time::getMillisecondCounterHiRes() - start);

            listed = main.listedProducts.size();
            owned = main.allProducts.size();
            thumbnails = 0;

            for (auto* product : main.allProducts)
                if (product->thumbnail.isValid())
                    ++thumbnails;
        }

        std::sort (times.begin(), times.end());

        std::printf ("loadProducts: %d products owned, %d listed, %d thumbnails, catalogue %d bytes\n",
                     owned,
                     listed,
                     thumbnails,
                     (int) catalogue.getNumBytesAsUTF8());
        std::printf ("loadProducts: min %.1f ms, median %.1f ms, max %.1f ms over %d runs (goal <= 300 ms)\n",
                     times.front(),
                     times[times.size() / 2],
                     times.back(),
                     numRuns);

        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        application = nullptr;
    }

    juce::File (juce::SystemStats::getEnvironmentVariable ("HOME", {})).deleteRecursively();
    return 0;
}
