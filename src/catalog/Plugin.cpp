#include "catalog/Plugin.h"
#include "catalog/CatalogueCheck.h"
#include "platform/PlatformLayer.h"

#include <filesystem>

namespace
{
// Whether a path exists and whether it is a folder, from one query of the file
// system (the poll asks this of every listed plug-in five times a second).
struct PathKind
{
    bool exists = false;
    bool isFolder = false;
};

PathKind examine (const juce::File& path)
{
    std::error_code error;
    auto status = std::filesystem::status (std::filesystem::u8path (path.getFullPathName().toRawUTF8()), error);
    return { std::filesystem::exists (status), std::filesystem::is_directory (status) };
}
} // namespace

bool Plugin::loadFromXml (juce::XmlElement& element)
{
    if (! element.hasTagName ("PLUGIN") || ! CatalogueCheck::hasSafePaths (element))
        return false;

    readCommonAttributes (element);
    return true;
}

juce::File Plugin::getInstallPath()
{
    auto vst3Folder = PlatformLayer::fileFromPath (getSetting ("vst3Path", "C:/Program Files/Common Files/VST3"));
    auto vst3 = vst3Folder.getChildFile (file).withFileExtension ("vst3");

    auto vst3Kind = examine (vst3);

    if (vst3Kind.exists)
    {
        // A VST3 bundle holds the plug-in below Contents/x86_64-win.
        if (vst3Kind.isFolder)
            return vst3.getChildFile ("Contents").getChildFile ("x86_64-win").getChildFile (file).withFileExtension ("vst3");

        return vst3;
    }

    auto aaxBundle = PlatformLayer::getProgramFilesFolder()
                         .getChildFile ("Common Files/Avid/Audio/Plug-Ins")
                         .getChildFile (file)
                         .withFileExtension ("aaxplugin");
    auto aax = aaxBundle.getChildFile ("Contents/x64").getChildFile (file).withFileExtension ("aaxplugin");

    if (aax.exists())
        return aax;

    return {};
}
