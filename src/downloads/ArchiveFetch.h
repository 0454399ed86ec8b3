#pragma once

#include "app/CancellableStream.h"
#include "app/Common.h"

#include <atomic>

// Fetches a ZIP archive over HTTP into memory on a worker thread and unpacks
// every entry into a folder. Shared by the catalogue worker and the installer worker.
class ArchiveFetch
{
public:
    enum class Outcome
    {
        notFetched, // no stream, a status other than 200, or no memory for the body
        stopped, // the stop flag was seen after a step; nothing unpacked
        exitRequested, // the thread was asked to exit before a step; nothing unpacked
        unpacked // the body was read and the unpack was tried
    };

    struct Result
    {
        Outcome outcome = Outcome::notFetched;
        bool allEntriesUnpacked = false; // every entry unpacked and at least one entry
        juce::String firstEntryName; // set only when allEntriesUnpacked
    };

    // progress is written after each step. When resetProgress is set, it is set to
    // 0.0 once a 200 answer arrives. stopFlag may be null. The request goes through
    // stream, which the worker's owner cancels to end a blocked connect or read at once
    // when it sets the stop flag or asks the thread to exit. An archive whose declared
    // sizes add up to more than unpackedSizeLimit (when not -1) is not unpacked.
    static Result fetchAndUnpack (const juce::URL& url,
                                  const juce::File& targetFolder,
                                  juce::Thread& thread,
                                  double& progress,
                                  bool resetProgress,
                                  const std::atomic<bool>* stopFlag,
                                  CancellableStream& stream,
                                  juce::int64 unpackedSizeLimit = -1);

    // The same with a stream of its own, which nothing else can cancel.
    static Result fetchAndUnpack (const juce::URL& url,
                                  const juce::File& targetFolder,
                                  juce::Thread& thread,
                                  double& progress,
                                  bool resetProgress,
                                  const std::atomic<bool>* stopFlag,
                                  juce::int64 unpackedSizeLimit = -1);

private:
    ArchiveFetch() = delete;
};
