#include "account/ReachabilityProbe.h"

#include <BuildSettings.h>

const char* const reachabilitySites[6] = { VELMORA_PROBE_SITES_INITIALISER };

bool isAnySiteReachable (const char* const* first, const char* const* last)
{
    for (auto* site = first; site != last; ++site)
    {
        auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                           .withConnectionTimeoutMs (2000);

        // Only whether a stream opens matters; nothing of the answer is read.
        if (juce::URL (juce::String (*site)).createInputStream (options) != nullptr)
            return true;
    }

    return false;
}

bool isInternetReachable()
{
    return isAnySiteReachable (std::begin (reachabilitySites), std::end (reachabilitySites));
}
