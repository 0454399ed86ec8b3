#pragma once

#include "app/Common.h"

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

// A raw HTTP server on 127.0.0.1 that misbehaves on purpose: it never completes a connection,
// accepts and never answers, stalls after the headers, drips the body at a fixed rate or
// drops the connection halfway.
// Requests for the paths given as answered (the query left out) get their body at once.
// Each connection is served on a thread of its own; stop() (or the destructor) ends them all.
class MisbehavingServer
{
public:
    enum class Behaviour
    {
        neverAccept, // its backlog is full: a client's connect stays pending
        neverAnswer, // reads the request, sends nothing
        stallAfterHeaders, // sends the headers and the first stallAfterBytes of the body, then nothing
        drip, // sends the body at bytesPerSecond
        dropMidBody, // sends half the body, then closes the connection
        answer // sends the whole body at once
    };

    explicit MisbehavingServer (Behaviour behaviour,
                                juce::MemoryBlock body = {},
                                int bytesPerSecond = 200,
                                size_t stallAfterBytes = 0,
                                int fixedPort = 0,
                                std::map<std::string, juce::MemoryBlock> answeredPaths = {});

    bool isListening() const { return port > 0; }
    ~MisbehavingServer();

    int getPort() const { return port; }
    juce::String getUrl (const juce::String& path = {}) const;

    // Connections accepted so far, requests whose headers were read in full, and those
    // of them that were not for an answered path.
    int getConnectionCount() const { return connectionCount.load(); }
    int getRequestCount() const { return requestCount.load(); }
    int getMisbehavedCount() const { return misbehavedCount.load(); }

    // Answers whose whole body the client has taken (all but what the kernel still buffers).
    int getAnsweredCount() const { return answeredCount.load(); }

    // Waits until a request that gets the misbehaviour has been read, for at most the given time.
    bool waitForRequest (int timeoutMs = 10000) const;

    void stop();

private:
    void acceptLoop();
    void serve (int connection);
    void closeAfterClient (int connection);
    bool sendAll (int connection, const char* data, size_t size);
    bool sendHeaders (int connection, size_t bodySize);
    bool pause (int milliseconds) const;

    const Behaviour behaviour;
    const juce::MemoryBlock body;
    const int bytesPerSecond;
    const size_t stallAfterBytes;
    const std::map<std::string, juce::MemoryBlock> answered;

    int listener = -1;
    std::vector<int> backlogFillers;
    int port = 0;
    std::atomic<bool> stopping { false };
    std::atomic<int> connectionCount { 0 };
    std::atomic<int> requestCount { 0 };
    std::atomic<int> misbehavedCount { 0 };
    std::atomic<int> answeredCount { 0 };
    std::thread acceptThread;

    JUCE_DECLARE_NON_COPYABLE (MisbehavingServer)
};
