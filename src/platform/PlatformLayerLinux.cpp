#include "platform/PeVersionReader.h"
#include "platform/PlatformLayer.h"

#include <sys/stat.h>

namespace
{
juce::File getWineFolder()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine");
}

bool startsWithDriveLetter (const juce::String& path)
{
    return path.length() >= 2
           && juce::CharacterFunctions::isLetter (path[0])
           && path[0] < 128
           && path[1] == ':'
           && (path.length() == 2 || path[2] == '/' || path[2] == '\\');
}
} // namespace

juce::File PlatformLayer::getSystemTempFolder()
{
    return juce::File::getSpecialLocation (juce::File::tempDirectory);
}

juce::File PlatformLayer::fileFromPath (const juce::String& path)
{
    if (startsWithDriveLetter (path))
    {
        auto drive = getWineFolder().getChildFile ("drive_" + path.substring (0, 1).toLowerCase());
        auto rest = path.substring (2).replaceCharacter ('\\', '/').trimCharactersAtStart ("/");
        return rest.isEmpty() ? drive : drive.getChildFile (rest);
    }

    if (juce::File::isAbsolutePath (path))
        return juce::File (path);

    if (path.isEmpty())
        return {};

    return juce::File::getCurrentWorkingDirectory().getChildFile (path);
}

juce::File PlatformLayer::getProgramFilesFolder()
{
    return getWineFolder().getChildFile ("drive_c/Program Files");
}

juce::File PlatformLayer::getDesktopFolder()
{
    return juce::File::getSpecialLocation (juce::File::userDesktopDirectory);
}

juce::String PlatformLayer::getSettingsFolderName (const juce::String& folderName)
{
    // The framework puts a user's properties file below the home folder; aim it
    // at the configuration folder instead.
    auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    auto folder = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory).getChildFile (folderName);

    if (folder.isAChildOf (home))
        return folder.getRelativePathFrom (home);

    return folder.getFullPathName();
}

void PlatformLayer::protectSettingsFolder (const juce::File& folder)
{
    folder.createDirectory();
    ::chmod (folder.getFullPathName().toRawUTF8(), S_IRWXU);
}

juce::String PlatformLayer::getFileVersion (const juce::File& file)
{
    // Our own file is an ELF; answer what the Windows build's resource holds.
    if (file == juce::File::getSpecialLocation (juce::File::currentExecutableFile))
        return juce::String (VELMORA_PROJECT_VERSION) + ".0";

    return PeVersionReader::readFileVersion (file);
}

void PlatformLayer::startThroughShell (const juce::File& file)
{
    file.startAsProcess();
}
