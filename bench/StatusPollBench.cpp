// One tick of the 200 ms status poll (checkInstalled, then refreshInstalledVersion,
// for every listed plug-in) over N installed plug-ins, beside two floors: one stat
// plus the reads their versions need, and one stat alone, nothing opened.
//   StatusPollBench [pe-file]   without a file, one is made with the MinGW binutils.

#include "app/VelmoraApplication.h"
#include "catalog/Plugin.h"
#include "platform/FileVersionCache.h"
#include "platform/PeVersionReader.h"
#include "platform/PlatformLayer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
juce::JUCEApplicationBase* createApplication()
{
    return new VelmoraApplication();
}

std::string makeHome()
{
    char pattern[] = "/tmp/velmora-bench-XXXXXX";
    auto* home = ::mkdtemp (pattern);

    if (home == nullptr)
        std::abort();

    ::setenv ("HOME", home, 1);
    ::unsetenv ("XDG_CONFIG_HOME");
    ::unsetenv ("XDG_RUNTIME_DIR");
    ::unsetenv ("XDG_CACHE_HOME");
    auto tmp = std::string (home) + "/tmp";
    ::mkdir (tmp.c_str(), 0700);
    ::setenv ("TMPDIR", tmp.c_str(), 1);
    return home;
}

bool run (const juce::StringArray& command)
{
    juce::ChildProcess process;
    return process.start (command) && process.waitForProcessToFinish (30000) && process.getExitCode() == 0;
}

juce::File makePeFile (const juce::File& folder)
{
    auto rc = folder.getChildFile ("bench.rc");
    rc.replaceWithText ("1 VERSIONINFO\nFILEVERSION 1,0,10,0\nPRODUCTVERSION 1,0,10,0\nBEGIN\n"
                        "  BLOCK \"StringFileInfo\"\n  BEGIN\n    BLOCK \"040904b0\"\n    BEGIN\n"
                        "      VALUE \"FileVersion\", \"1.0.10.0\"\n    END\n  END\n"
                        "  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1200\n  END\nEND\n");
    auto object = folder.getChildFile ("bench.res.o");
    auto dll = folder.getChildFile ("bench.dll");

    if (! run ({ "x86_64-w64-mingw32-windres", "--preprocessor=cat", "-O", "coff", rc.getFullPathName(), "-o", object.getFullPathName() })
        || ! run ({ "x86_64-w64-mingw32-ld", "--dll", "-e", "0", object.getFullPathName(), "-o", dll.getFullPathName() }))
        return {};

    return dll;
}

template <typename Function>
double medianMilliseconds (int repeats, Function&& function)
{
    std::vector<double> times;

    for (int i = 0; i < repeats; ++i)
    {
        auto start = std::chrono::steady_clock::now();
        function();
        times.push_back (std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count());
    }

    std::sort (times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main (int argc, char** argv)
{
    auto home = makeHome();
    int result = 0;

    {
        juce::ScopedJuceInitialiser_GUI initialiser;
        juce::JUCEApplicationBase::createInstance = &createApplication;
        std::unique_ptr<VelmoraApplication> application (static_cast<VelmoraApplication*> (createApplication()));
        application->openStoresAndFolders();

        auto work = juce::File (home).getChildFile ("bench");
        work.createDirectory();
        auto peFile = argc > 1 ? juce::File (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])) : makePeFile (work);

        if (! peFile.existsAsFile())
        {
            std::fprintf (stderr, "no PE file (pass one, or install binutils-mingw-w64-x86-64)\n");
            result = 1;
        }
        else
        {
            std::printf ("PE file: %s (%lld bytes)\n", peFile.getFileName().toRawUTF8(), (long long) peFile.getSize());
            std::printf ("%8s %10s %11s %16s %7s %12s %15s %19s\n", "plug-ins", "tick (ms)", "floor (ms)", "stat floor (ms)", "ratio", "stat ratio", "PE reader (ms)", "getFileVersion (ms)");

            for (int count : { 50, 500, 2000 })
            {
                auto folder = work.getChildFile ("vst3-" + juce::String (count));
                folder.createDirectory();
                application->getSettings()->getUserSettings()->setValue ("vst3Path", folder.getFullPathName());

                juce::OwnedArray<Plugin> plugins;
                std::vector<std::string> paths;

                for (int i = 0; i < count; ++i)
                {
                    auto name = "Plugin " + juce::String (i);
                    auto target = folder.getChildFile (name + ".vst3");
                    peFile.copyFileTo (target);
                    paths.push_back (target.getFullPathName().toStdString());

                    auto* plugin = plugins.add (new Plugin());
                    juce::XmlElement element ("PLUGIN");
                    element.setAttribute ("name", name);
                    element.setAttribute ("version", "1.0.10");
                    plugin->loadFromXml (element);

                    if (! plugin->installed || plugin->installedVersion != "1.0.10")
                    {
                        std::fprintf (stderr, "%s is not seen as installed\n", name.toRawUTF8());
                        return 1;
                    }
                }

                int changes = 0;
                auto tick = [&]
                {
                    for (auto* plugin : plugins)
                    {
                        changes += plugin->checkInstalled() ? 1 : 0;
                        changes += plugin->refreshInstalledVersion() ? 1 : 0;
                    }
                };

                // One stat and the one read of the first 4 KB that holds the headers and the resource.
                std::vector<char> buffer (4096);
                long bytes = 0;
                auto floor = [&]
                {
                    for (auto& path : paths)
                    {
                        struct stat info;
                        ::stat (path.c_str(), &info);
                        auto fd = ::open (path.c_str(), O_RDONLY);
                        bytes += ::pread (fd, buffer.data(), buffer.size(), 0);
                        ::close (fd);
                    }
                };

                // One metadata query per plug-in, nothing opened.
                auto statFloor = [&]
                {
                    for (auto& path : paths)
                    {
                        struct stat info;
                        bytes += ::stat (path.c_str(), &info) == 0 ? 1 : 0;
                    }
                };

                juce::Array<juce::File> files;

                for (auto& path : paths)
                    files.add (juce::File (path));

                auto readerOnly = [&]
                {
                    for (auto& file : files)
                        bytes += PeVersionReader::readFileVersion (file).length();
                };
                auto platformVersion = [&]
                {
                    for (auto& file : files)
                        bytes += PlatformLayer::getFileVersion (file).length();
                };

                // Installed plug-ins have not changed for a while; let these settle likewise,
                // or their versions are read at every tick.
                std::this_thread::sleep_for (std::chrono::milliseconds (FileVersionCache::defaultSettleTimeMs + 500));

                tick();
                floor();
                statFloor();
                auto repeats = count >= 2000 ? 21 : 51;
                auto tickMs = medianMilliseconds (repeats, tick);
                auto floorMs = medianMilliseconds (repeats, floor);
                auto statFloorMs = medianMilliseconds (repeats, statFloor);
                auto readerMs = medianMilliseconds (repeats, readerOnly);
                auto platformMs = medianMilliseconds (repeats, platformVersion);

                std::printf ("%8d %10.3f %11.3f %16.3f %7.2f %12.2f %15.3f %19.3f%s\n", count, tickMs, floorMs, statFloorMs, tickMs / floorMs, tickMs / statFloorMs, readerMs, platformMs, changes != 0 ? "  (changes seen!)" : "");
                folder.deleteRecursively();
            }
        }

        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        application = nullptr;
    }

    juce::File (home).deleteRecursively();
    return result;
}
