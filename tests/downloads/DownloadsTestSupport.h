#pragma once

#include "downloads/ArchiveFetch.h"
#include "support/TestSupport.h"

#include <atomic>

namespace DownloadsTest
{
inline std::string readFile (const juce::File& file)
{
    juce::MemoryBlock data;
    file.loadFileAsData (data);
    return std::string (static_cast<const char*> (data.getData()), data.getSize());
}

// Writes a ZIP archive with python3's zipfile (see make_zip.py for the entry forms)
// and returns its bytes.
inline std::string makeZip (const juce::StringArray& entries, bool deflate = false)
{
    auto file = TestSupport::makeTempFolder ("zip").getChildFile ("archive.zip");

    juce::StringArray command { "python3", VELMORA_MAKE_ZIP_SCRIPT, file.getFullPathName() };

    if (deflate)
        command.add ("--deflate");

    command.addArray (entries);

    juce::ChildProcess process;
    EXPECT_TRUE (process.start (command));
    auto output = process.readAllProcessOutput();
    EXPECT_EQ (process.getExitCode(), 0u) << output;

    return readFile (file);
}

// Runs one archive fetch on a thread of its own, as a worker would.
class FetchThread : public juce::Thread
{
public:
    FetchThread (juce::URL urlToFetch, juce::File folder, const std::atomic<bool>* flag = nullptr)
        : juce::Thread ("Fetch test"), url (std::move (urlToFetch)), target (std::move (folder)), stopFlag (flag)
    {
    }

    ~FetchThread() override { stopThread (10000); }

    void run() override
    {
        result = ArchiveFetch::fetchAndUnpack (url, target, *this, progress, resetProgress, stopFlag);
    }

    ArchiveFetch::Result fetch()
    {
        startThread();
        EXPECT_TRUE (waitForThreadToExit (60000));
        return result;
    }

    juce::URL url;
    juce::File target;
    const std::atomic<bool>* stopFlag;
    bool resetProgress = true;
    double progress = -1.0;
    ArchiveFetch::Result result;
};

// Counts the change messages of a broadcaster.
class ChangeCounter : public juce::ChangeListener
{
public:
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }

    int count = 0;
};

// Serves body in pieces of pieceSize with a pause after each, as a slow server would;
// stops when the client goes away.
inline void serveSlowly (httplib::Server& server, const std::string& path, std::string body, size_t pieceSize, int pauseMs)
{
    server.Get (path, [body, pieceSize, pauseMs] (const httplib::Request&, httplib::Response& response)
                { response.set_content_provider (
                      body.size(),
                      "application/zip",
                      [body, pieceSize, pauseMs] (size_t offset, size_t, httplib::DataSink& sink)
                      {
                          auto length = std::min (pieceSize, body.size() - offset);

                          if (! sink.write (body.data() + offset, length))
                              return false;

                          std::this_thread::sleep_for (std::chrono::milliseconds (pauseMs));
                          return true;
                      }); });
}
} // namespace DownloadsTest
