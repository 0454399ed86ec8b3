#pragma once

#include "app/CancellableStream.h"
#include "app/Common.h"

// The six well-known sites asked whether the Internet can be reached: three
// by HTTP, then the same three by HTTPS.
extern const char* const reachabilitySites[6];

// True as soon as one site of the range answers, tried one at a time in order;
// false when none does or the range is empty. Blocks the calling thread.
bool isAnySiteReachable (const char* const* first, const char* const* last);

// The same over the given stream, which another thread may cancel at any time;
// once cancelled, no further site is tried and the result is false.
bool isAnySiteReachable (const char* const* first, const char* const* last, CancellableStream& stream);

// isAnySiteReachable over the whole of reachabilitySites.
bool isInternetReachable();
bool isInternetReachable (CancellableStream& stream);
