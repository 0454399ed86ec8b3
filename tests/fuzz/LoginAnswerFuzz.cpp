#include "account/LoginAnswer.h"

#include <cstddef>
#include <cstdint>

// Any bytes as the account service's answer: a result of 2 or 1, no crash, and
// an answer beyond the bounds never yields a token.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    juce::String token ("before");
    auto result = readLoginAnswer (data, size, token);

    if (result != 1 && result != 2)
        __builtin_trap();

    auto text = decodeLoginAnswer (data, size);

    if (result == 2 && (size > (size_t) maxLoginAnswerBytes || ! isJsonNestingWithin (text, maxLoginAnswerDepth)))
        __builtin_trap();

    return 0;
}
