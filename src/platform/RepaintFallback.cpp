#include "platform/RepaintFallback.h"

// Listens to one window's vertical blanks. A window is known by its peer's
// address and unique ID together, since a new peer can take a deleted one's address.
struct RepaintFallback::WindowWatch : public juce::ComponentPeer::VBlankListener
{
    explicit WindowWatch (juce::ComponentPeer& p)
        : peer (&p), peerId (p.getUniqueID()), lastVBlank (juce::Time::getMillisecondCounter())
    {
        peer->addVBlankListener (this);
    }

    ~WindowWatch() override
    {
        if (isWatching (peer))
            peer->removeVBlankListener (this);
    }

    bool isWatching (juce::ComponentPeer* p) const
    {
        return p == peer && juce::ComponentPeer::isValidPeer (p) && p->getUniqueID() == peerId;
    }

    void onVBlank() override { lastVBlank = juce::Time::getMillisecondCounter(); }

    juce::ComponentPeer* peer;
    juce::uint32 peerId;
    juce::uint32 lastVBlank;
};

RepaintFallback::RepaintFallback()
{
    startTimerHz (60);
}

RepaintFallback::~RepaintFallback()
{
    stopTimer();
}

RepaintFallback::WindowWatch* RepaintFallback::findWatch (juce::ComponentPeer& peer)
{
    for (auto& watch : watches)
        if (watch->isWatching (&peer))
            return watch.get();

    return nullptr;
}

void RepaintFallback::timerCallback()
{
    // Windows closed since the last look took their listener lists with them.
    watches.erase (std::remove_if (watches.begin(), watches.end(), [] (auto& watch)
                                   { return ! watch->isWatching (watch->peer); }),
                   watches.end());

    juce::Array<juce::ComponentPeer*> silent;
    auto now = juce::Time::getMillisecondCounter();

    for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
    {
        auto* peer = juce::ComponentPeer::getPeer (i);
        auto* watch = findWatch (*peer);

        if (watch == nullptr)
        {
            watches.push_back (std::make_unique<WindowWatch> (*peer));
            continue;
        }

        if (now - watch->lastVBlank > silenceMs)
            silent.add (peer);
    }

    // Painting can run other messages, which may close windows.
    for (auto* peer : silent)
        if (juce::ComponentPeer::isValidPeer (peer))
            peer->performAnyPendingRepaintsNow();
}
