#pragma once

#include <juce_core/juce_core.h>

// An answer longer than this (in bytes) is refused: the request stops reading
// one byte past it.
constexpr int maxLoginAnswerBytes = 64 * 1024;

// The framework's JSON parser recurses once per object or array; an answer
// nested deeper than this is refused before the parser sees it.
constexpr int maxLoginAnswerDepth = 32;

// True when no object or array of the text lies deeper than maxDepth as the
// framework's parser reads it. Only the first top-level value counts, as only
// that is parsed; a minus sign not followed by a digit is refused, since the
// parser would take any character after it, a quote or a bracket too, as one.
bool isJsonNestingWithin (const juce::String& text, int maxDepth);

// Looks for data.customerAccessTokenCreate.customerAccessToken.accessToken.
// accessToken is written when the three outer levels are objects; the result
// is true when the innermost member is present. An answer beyond the size or
// depth bound holds no token and leaves accessToken as it was.
bool parseAccessToken (const juce::String& text, juce::String& accessToken);

// The answer body as text, decoded as juce::MemoryOutputStream::toString does:
// a byte-order mark chooses UTF-16 or is dropped, anything else is read as UTF-8.
juce::String decodeLoginAnswer (const void* data, size_t size);

// The result of an answer body as received: 2 when it holds a token (written
// into accessToken), otherwise 1.
int readLoginAnswer (const void* data, size_t size, juce::String& accessToken);
