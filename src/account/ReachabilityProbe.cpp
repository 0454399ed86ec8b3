#include "account/ReachabilityProbe.h"

#include <BuildSettings.h>

const char* const reachabilitySites[6] = { VELMORA_PROBE_SITES_INITIALISER };

bool isAnySiteReachable (const char* const* first, const char* const* last)
{
    CancellableStream stream;
    return isAnySiteReachable (first, last, stream);
}

bool isAnySiteReachable (const char* const* first, const char* const* last, CancellableStream& stream)
{
    for (auto* site = first; site != last && ! stream.isCancelled(); ++site)
    {
        auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                           .withConnectionTimeoutMs (2000);

        // Only whether a stream opens matters; nothing of the answer is read.
        auto opened = stream.open (juce::URL (juce::String (*site)), options);
        stream.close();

        if (opened)
            return true;
    }

    return false;
}

bool isInternetReachable()
{
    return isAnySiteReachable (std::begin (reachabilitySites), std::end (reachabilitySites));
}

bool isInternetReachable (CancellableStream& stream)
{
    return isAnySiteReachable (std::begin (reachabilitySites), std::end (reachabilitySites), stream);
}
