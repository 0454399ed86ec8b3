#include "platform/FileVersionCache.h"
#include "platform/PeVersionReader.h"
#include "platform/PlatformLayer.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

juce::File findOnPath (const juce::String& programName)
{
    auto folders = juce::StringArray::fromTokens (juce::SystemStats::getEnvironmentVariable ("PATH", {}), ":", {});

    for (auto& folder : folders)
    {
        if (! juce::File::isAbsolutePath (folder))
            continue;

        auto candidate = juce::File (folder).getChildFile (programName);

        if (candidate.existsAsFile() && ::access (candidate.getFullPathName().toRawUTF8(), X_OK) == 0)
            return candidate;
    }

    return {};
}

enum class FileKind
{
    windowsProgram,
    nativeProgram,
    other
};

FileKind getFileKind (const juce::File& file)
{
    char start[4] = {};

    if (juce::FileInputStream stream (file); stream.openedOk())
        stream.read (start, (int) sizeof (start));

    if ((start[0] == 'M' && start[1] == 'Z') || file.hasFileExtension ("exe;msi"))
        return FileKind::windowsProgram;

    if ((start[0] == '#' && start[1] == '!')
        || (start[0] == 0x7f && start[1] == 'E' && start[2] == 'L' && start[3] == 'F'))
        return FileKind::nativeProgram;

    return FileKind::other;
}

// Starts the first of the commands that works, without a shell, in its own session
// and with the given working folder (none: the current one). Each command but the
// last runs to its end, and the next starts only when it failed, as "a || b" would
// in a shell. The child in the middle exits at once and is reaped here, so the
// started program belongs to init and leaves no zombie behind.
void startFirstThatWorks (const juce::Array<juce::StringArray>& commands, const juce::File& workingFolder)
{
    if (commands.isEmpty())
        return;

    // Everything the children need is made here: after fork they only call what
    // is safe in a copy of a threaded process.
    std::vector<std::vector<std::string>> texts;

    for (auto& command : commands)
    {
        auto& words = texts.emplace_back();

        for (auto& argument : command)
            words.push_back (argument.toStdString());
    }

    std::vector<std::vector<char*>> argvs;

    for (auto& words : texts)
    {
        auto& argv = argvs.emplace_back();

        for (auto& word : words)
            argv.push_back (word.data());

        argv.push_back (nullptr);
    }

    auto folder = workingFolder.getFullPathName().toStdString();

    rlimit limit {};
    auto highestDescriptor = ::getrlimit (RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                                 ? (int) juce::jmin ((rlim_t) 65536, limit.rlim_cur)
                                 : 1024;

    auto middle = ::fork();

    if (middle == 0)
    {
        ::setsid();

        if (::fork() == 0)
        {
            ::signal (SIGPIPE, SIG_DFL);

            auto nothing = ::open ("/dev/null", O_RDONLY);

            if (nothing > 0)
                ::dup2 (nothing, 0);

            for (int descriptor = 3; descriptor < highestDescriptor; ++descriptor)
                ::close (descriptor);

            if (! folder.empty() && ::chdir (folder.c_str()) != 0)
                ::_exit (127);

            for (size_t i = 0; i + 1 < argvs.size(); ++i)
            {
                auto attempt = ::fork();

                if (attempt == 0)
                {
                    ::execvp (argvs[i][0], argvs[i].data());
                    ::_exit (127);
                }

                int status = 0;

                while (attempt > 0 && ::waitpid (attempt, &status, 0) < 0 && errno == EINTR)
                {
                }

                if (attempt > 0 && WIFEXITED (status) && WEXITSTATUS (status) == 0)
                    ::_exit (0);
            }

            ::execvp (argvs.back()[0], argvs.back().data());
            ::_exit (127);
        }

        ::_exit (0);
    }

    if (middle > 0)
    {
        while (::waitpid (middle, nullptr, 0) < 0 && errno == EINTR)
        {
        }
    }
}

void startDetached (const juce::StringArray& arguments, const juce::File& workingFolder)
{
    startFirstThatWorks ({ arguments }, workingFolder);
}

// The desktop's opener for a file, a folder or a web address, with the browsers
// that JUCE falls back on when it fails; each gets the target as its one argument.
void openWithDesktop (const juce::String& target, const juce::File& workingFolder)
{
    juce::Array<juce::StringArray> commands;

    for (auto* opener : { "xdg-open", "/etc/alternatives/x-www-browser", "firefox", "mozilla", "google-chrome", "chromium-browser", "opera", "konqueror" })
    {
        auto program = juce::File::isAbsolutePath (opener) ? juce::File (opener) : findOnPath (opener);

        if (program.existsAsFile() && ::access (program.getFullPathName().toRawUTF8(), X_OK) == 0)
            commands.add ({ program.getFullPathName(), target });
    }

    startFirstThatWorks (commands, workingFolder);
}

void openWithDesktop (const juce::File& file)
{
    openWithDesktop (file.getFullPathName(), file.getParentDirectory());
}

// A folder of the user's own that nobody else may enter.
bool isPrivateFolder (const juce::String& path)
{
    struct stat info = {};
    return ::stat (path.toRawUTF8(), &info) == 0
           && S_ISDIR (info.st_mode)
           && info.st_uid == ::geteuid()
           && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Makes the folder owner-only when it is a folder of the user's own, reached
// without a symbolic link; anything else is left as it is.
bool makeOwnFolderPrivate (const juce::File& folder)
{
    auto descriptor = ::open (folder.getFullPathName().toRawUTF8(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);

    if (descriptor < 0)
        return false;

    struct stat info = {};
    auto isOwn = ::fstat (descriptor, &info) == 0 && info.st_uid == ::geteuid() && ::fchmod (descriptor, S_IRWXU) == 0;
    ::close (descriptor);
    return isOwn;
}
// Gives a folder or a plain file of the user's own the mode, and tells whether it
// is private now: the user's own, with nothing open to group or others.
bool makeOwnPathPrivate (const juce::File& path, mode_t mode)
{
    auto text = path.getFullPathName().toRawUTF8();
    struct stat info = {};

    if (::stat (text, &info) != 0 || info.st_uid != ::geteuid())
        return false;

    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 || (info.st_mode & 0777) != mode)
        ::chmod (text, mode);

    return ::stat (text, &info) == 0 && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}
} // namespace

juce::File PlatformLayer::getSystemTempFolder()
{
    // Never the shared /tmp: the runtime folder when it is the user's own and
    // private, else the user's cache folder.
    auto runtime = juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {});

    if (juce::File::isAbsolutePath (runtime) && isPrivateFolder (runtime))
        return juce::File (runtime);

    auto cache = juce::SystemStats::getEnvironmentVariable ("XDG_CACHE_HOME", {});

    if (juce::File::isAbsolutePath (cache))
        return juce::File (cache);

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".cache");
}

juce::File PlatformLayer::createTempFolder (const juce::String& name)
{
    auto parent = getSystemTempFolder();
    parent.createDirectory();

    auto folder = parent.getChildFile (name);

    // When it cannot be made at all, downloads fail there.
    if (::mkdir (folder.getFullPathName().toRawUTF8(), S_IRWXU) != 0 && errno != EEXIST)
        return folder;

    // Made now, or left by an earlier run of the user's.
    if (makeOwnFolderPrivate (folder))
        return folder;

    // Someone else's, a link or not a folder: a fresh folder of a unique name beside it.
    auto pattern = (folder.getFullPathName() + "-XXXXXX").toStdString();

    if (::mkdtemp (pattern.data()) != nullptr)
        return juce::File (pattern);

    // Nothing can be made below /dev/null, so downloads fail rather than go elsewhere.
    return juce::File ("/dev/null").getChildFile (name);
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

bool PlatformLayer::protectSettings (const juce::File& folder, const juce::Array<juce::File>& files)
{
    // The framework saves a store by writing a new file and renaming it, so a
    // store's file is only made private when every new file is: as a Windows
    // profile's files, what the program makes is its user's alone.
    ::umask (S_IRWXG | S_IRWXO);

    folder.createDirectory();

    if (! folder.exists())
        return true;

    auto isPrivate = makeOwnPathPrivate (folder, S_IRWXU);

    for (auto& file : files)
        if (file.existsAsFile())
            isPrivate = makeOwnPathPrivate (file, S_IRUSR | S_IWUSR) && isPrivate;

    return isPrivate;
}

PlatformLayer::StoreFileState PlatformLayer::readStoreFile (const juce::File& file, size_t maxBytes, juce::MemoryBlock& content)
{
    // Without O_NONBLOCK, opening a pipe would wait for a writer for ever.
    auto descriptor = ::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);

    if (descriptor < 0)
        return errno == ENOENT ? StoreFileState::missing : StoreFileState::unreadable;

    struct stat info = {};
    auto state = StoreFileState::unreadable;

    if (::fstat (descriptor, &info) == 0 && S_ISREG (info.st_mode) && (juce::uint64) info.st_size <= (juce::uint64) maxBytes)
    {
        juce::MemoryOutputStream bytes (content, false);
        char buffer[8192];
        state = StoreFileState::readable;

        for (;;)
        {
            auto count = ::read (descriptor, buffer, sizeof (buffer));

            if (count < 0 && errno == EINTR)
                continue;

            if (count < 0 || bytes.getDataSize() + (size_t) count > maxBytes)
            {
                state = StoreFileState::unreadable;
                break;
            }

            if (count == 0)
                break;

            bytes.write (buffer, (size_t) count);
        }
    }

    ::close (descriptor);
    return state;
}

bool PlatformLayer::moveAside (const juce::File& from, const juce::File& to)
{
    return ::rename (from.getFullPathName().toRawUTF8(), to.getFullPathName().toRawUTF8()) == 0;
}

juce::String PlatformLayer::getFileVersion (const juce::File& file)
{
    // Our own file is an ELF; answer what the Windows build's resource holds.
    static const auto ownFile = juce::File::getSpecialLocation (juce::File::currentExecutableFile);

    if (file == ownFile)
        return juce::String (VELMORA_PROJECT_VERSION) + ".0";

    static FileVersionCache cache ([] (const juce::File& f)
                                   { return PeVersionReader::readFileVersion (f); });
    return cache.getVersion (file);
}

void PlatformLayer::startThroughShell (const juce::File& file)
{
    // The opener is started without a shell: the file's name comes from an archive
    // and must never be read as a command line.
    if (file.isDirectory())
    {
        openWithDesktop (file);
        return;
    }

    auto path = file.getFullPathName();
    auto folder = file.getParentDirectory();

    switch (getFileKind (file))
    {
        case FileKind::windowsProgram:
        {
            auto wine = findOnPath ("wine");

            if (wine == juce::File())
                openWithDesktop (file);
            else if (file.hasFileExtension ("msi"))
                startDetached ({ wine.getFullPathName(), "msiexec", "/i", path }, folder);
            else
                startDetached ({ wine.getFullPathName(), path }, folder);

            break;
        }

        case FileKind::nativeProgram:
            // Unpacking does not restore the executable bit.
            file.setExecutePermission (true);
            startDetached ({ path }, folder);
            break;

        case FileKind::other:
            openWithDesktop (file);
            break;
    }
}

void PlatformLayer::openInBrowser (const juce::URL& address)
{
    openWithDesktop (address.toString (true), {});
}

bool PlatformLayer::needsRepaintFallback()
{
    // The X11 windows repaint on a timer of their own.
    return false;
}
