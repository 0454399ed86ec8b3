#include "downloads/ArchiveFetch.h"
#include "downloads/ArchiveUnpacker.h"
#include "downloads/FastMemoryOutputStream.h"

#include <new>

namespace
{
constexpr int connectionTimeoutMs = 10000;
constexpr juce::int64 lengthWhenUnknown = 0x100000;
constexpr juce::int64 stepSize = 0x10000;

} // namespace

ArchiveFetch::Result ArchiveFetch::fetchAndUnpack (const juce::URL& url,
                                                   const juce::File& targetFolder,
                                                   juce::Thread& thread,
                                                   double& progress,
                                                   bool resetProgress,
                                                   const std::atomic<bool>* stopFlag,
                                                   juce::int64 unpackedSizeLimit)
{
    CancellableStream stream;
    return fetchAndUnpack (url, targetFolder, thread, progress, resetProgress, stopFlag, stream, unpackedSizeLimit);
}

ArchiveFetch::Result ArchiveFetch::fetchAndUnpack (const juce::URL& url,
                                                   const juce::File& targetFolder,
                                                   juce::Thread& thread,
                                                   double& progress,
                                                   bool resetProgress,
                                                   const std::atomic<bool>* stopFlag,
                                                   CancellableStream& response,
                                                   juce::int64 unpackedSizeLimit)
{
    Result result;
    int statusCode = 0;

    // A cancelled request reads like one that ended: the flags tell which it was.
    auto endedEarly = [&]
    {
        if (thread.threadShouldExit())
            result.outcome = Outcome::exitRequested;
        else if (stopFlag != nullptr && stopFlag->load())
            result.outcome = Outcome::stopped;
        else
            return false;

        return true;
    };

    struct CloseOnReturn
    {
        CancellableStream& stream;
        ~CloseOnReturn() { stream.close(); }
    } closeOnReturn { response };

    auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                       .withExtraHeaders ("Accept: application/octet-stream")
                       .withConnectionTimeoutMs (connectionTimeoutMs)
                       .withStatusCode (&statusCode)
                       .withNumRedirectsToFollow (1);

    auto opened = response.open (url, options);

    if (endedEarly() || ! opened || statusCode != 200)
        return result;

    if (resetProgress)
        progress = 0.0;

    auto expected = response.getTotalLength();

    if (expected < 1)
        expected = lengthWhenUnknown;

    juce::MemoryBlock block;
    juce::int64 received = 0;

    // A length that cannot be held in memory, announced or actually sent, ends the
    // fetch as a failed one, so that the worker still reports its end.
    try
    {
        FastMemoryOutputStream buffer (block, true);
        buffer.preallocate ((size_t) expected);

        for (;;)
        {
            if (thread.threadShouldExit())
            {
                result.outcome = Outcome::exitRequested;
                return result;
            }

            auto n = buffer.writeFromInputStream (response, stepSize);

            if (response.isCancelled())
            {
                endedEarly();
                return result;
            }

            if (n == 0)
                break;

            received += n;
            progress = (double) received / (double) expected;

            if (stopFlag != nullptr && stopFlag->load())
            {
                result.outcome = Outcome::stopped;
                return result;
            }
        }
    }
    catch (const std::bad_alloc&)
    {
        return result;
    }

    // A stop or exit request that came with the body's last step: nothing is unpacked.
    if (endedEarly())
        return result;

    response.close();

    result.outcome = Outcome::unpacked;

    ArchiveUnpacker::Options limits;
    limits.totalSizeLimit = unpackedSizeLimit;
    auto unpacked = ArchiveUnpacker::unpack (block.getData(), (size_t) received, targetFolder, limits);

    if (unpacked.allEntriesUnpacked)
    {
        result.allEntriesUnpacked = true;
        result.firstEntryName = unpacked.firstEntryName;
    }

    return result;
}
