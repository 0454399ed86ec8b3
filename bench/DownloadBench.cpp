// Times the archive fetch (download into memory, then unpack) against curl writing
// the archive to a file followed by unzip, on a 256 MiB archive served from loopback.
// Prints the ratio of the two times and this process's peak resident memory.
#include "downloads/ArchiveFetch.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <httplib.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace
{
constexpr juce::int64 mebibyte = 1024 * 1024;
constexpr juce::int64 archiveTarget = 256 * mebibyte;

double secondsSince (std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
}

juce::int64 getPeakResidentBytes()
{
    rusage usage {};
    getrusage (RUSAGE_SELF, &usage);
    return (juce::int64) usage.ru_maxrss * 1024;
}

int runCommand (const juce::String& command)
{
    return std::system (command.toRawUTF8());
}

// Writes count files of bytesEach. Random bytes for the stored archive; for the
// deflated one, random text from a 16-letter alphabet, which deflates to about 60 %.
void writeEntries (const juce::File& folder, int count, juce::int64 bytesEach, bool compressible)
{
    folder.createDirectory();
    juce::Random random (42);
    juce::HeapBlock<char> chunk (mebibyte);

    for (int i = 0; i < count; ++i)
    {
        juce::FileOutputStream out (folder.getChildFile ("entry" + juce::String (i) + ".bin"));
        out.setPosition (0);
        out.truncate();

        for (juce::int64 written = 0; written < bytesEach; written += mebibyte)
        {
            for (int b = 0; b < mebibyte; ++b)
                chunk[b] = compressible ? "abcdefghijklmnop"[random.nextInt (16)] : (char) random.nextInt (256);

            out.write (chunk, (size_t) mebibyte);
        }
    }
}

class FetchThread : public juce::Thread
{
public:
    FetchThread (juce::URL u, juce::File f)
        : juce::Thread ("Download bench"), url (std::move (u)), folder (std::move (f)) {}

    void run() override { result = ArchiveFetch::fetchAndUnpack (url, folder, *this, progress, true, nullptr); }

    juce::URL url;
    juce::File folder;
    double progress = -1.0;
    ArchiveFetch::Result result;
};

struct Variant
{
    const char* name;
    const char* zipOption;
    bool compressible;
};
} // namespace

int main (int argc, char** argv)
{
    // An optional argument names the one variant to run ("stored" or "deflated").
    juce::String only = argc > 1 ? argv[1] : "";

    juce::ScopedJuceInitialiser_GUI initialiser;

    auto work = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("velmora-download-bench", {}, false);
    work.createDirectory();

    httplib::Server server;
    juce::File served;

    // Served from the file in pieces, so the server adds no copy of the archive to this process.
    server.Get ("/archive.zip", [&] (const httplib::Request&, httplib::Response& response)
                {
                    auto size = (size_t) served.getSize();
                    auto path = served.getFullPathName().toStdString();
                    response.set_content_provider (size,
                                                   "application/zip",
                                                   [path] (size_t offset, size_t length, httplib::DataSink& sink)
                                                   {
                                                       std::vector<char> piece (std::min<size_t> (length, 1 << 20));
                                                       auto fd = ::open (path.c_str(), O_RDONLY);
                                                       auto n = ::pread (fd, piece.data(), piece.size(), (off_t) offset);
                                                       ::close (fd);
                                                       return n > 0 && sink.write (piece.data(), (size_t) n);
                                                   }); });

    auto port = server.bind_to_any_port ("127.0.0.1");
    std::thread listener ([&]
                          { server.listen_after_bind(); });

    while (! server.is_running())
        std::this_thread::sleep_for (std::chrono::milliseconds (1));

    auto url = "http://127.0.0.1:" + juce::String (port) + "/archive.zip";
    juce::int64 largestArchive = 0;

    for (auto variant : { Variant { "stored", "-0", false }, Variant { "deflated", "-6", true } })
    {
        if (only.isNotEmpty() && only != variant.name)
            continue;

        auto source = work.getChildFile (juce::String (variant.name) + "-source");
        auto entryBytes = variant.compressible ? 104 * mebibyte : 64 * mebibyte;
        writeEntries (source, 4, entryBytes, variant.compressible);

        served = work.getChildFile (juce::String (variant.name) + ".zip");
        runCommand ("cd '" + source.getFullPathName() + "' && zip -q " + variant.zipOption + " '" + served.getFullPathName() + "' *.bin");
        source.deleteRecursively();
        largestArchive = juce::jmax (largestArchive, served.getSize());

        double ours = 1.0e9, reference = 1.0e9;
        bool unpacked = true;

        for (int round = 0; round < 3; ++round)
        {
            auto ourFolder = work.getChildFile ("ours");
            ourFolder.deleteRecursively();
            ourFolder.createDirectory();

            FetchThread fetch (juce::URL (url), ourFolder);
            auto start = std::chrono::steady_clock::now();
            fetch.startThread();
            fetch.waitForThreadToExit (-1);
            ours = juce::jmin (ours, secondsSince (start));
            unpacked = unpacked && fetch.result.allEntriesUnpacked;

            auto theirFolder = work.getChildFile ("reference");
            auto download = work.getChildFile ("download.zip");
            theirFolder.deleteRecursively();
            theirFolder.createDirectory();
            download.deleteFile();

            start = std::chrono::steady_clock::now();
            runCommand ("curl -s -o '" + download.getFullPathName() + "' '" + url + "' && unzip -o -q '"
                        + download.getFullPathName() + "' -d '" + theirFolder.getFullPathName() + "'");
            reference = juce::jmin (reference, secondsSince (start));
        }

        std::printf ("%-8s archive %6.1f MiB: ours %.3f s, curl + unzip %.3f s, ratio %.2f%s\n",
                     variant.name,
                     (double) served.getSize() / (double) mebibyte,
                     ours,
                     reference,
                     ours / reference,
                     unpacked ? "" : " (NOT all entries unpacked)");
        served.deleteFile();
    }

    auto peak = getPeakResidentBytes();
    std::printf ("peak resident memory %.1f MiB (goal: at most %.1f MiB, the largest archive + 64 MiB)\n",
                 (double) peak / (double) mebibyte,
                 (double) (largestArchive + 64 * mebibyte) / (double) mebibyte);

    server.stop();
    listener.join();
    work.deleteRecursively();
    return 0;
}
