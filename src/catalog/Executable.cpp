#include "catalog/Executable.h"
#include "catalog/CatalogueCheck.h"
#include "platform/PlatformLayer.h"

bool Executable::loadFromXml (juce::XmlElement& element)
{
    if (! element.hasTagName ("EXE") || ! CatalogueCheck::hasSafePaths (element))
        return false;

    readCommonAttributes (element, "fileWin");
    return true;
}

juce::File Executable::getInstallPath()
{
    return PlatformLayer::fileFromPath (getSetting ("exePath", "C:/Program Files/Tavoline Audio")).getChildFile (file);
}
