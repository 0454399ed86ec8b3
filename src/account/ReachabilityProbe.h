#pragma once

#include "app/Common.h"

// The six well-known sites asked whether the Internet can be reached: three
// by HTTP, then the same three by HTTPS.
extern const char* const reachabilitySites[6];

// True as soon as one site of the range answers, tried one at a time in order;
// false when none does or the range is empty. Blocks the calling thread.
bool isAnySiteReachable (const char* const* first, const char* const* last);

// isAnySiteReachable over the whole of reachabilitySites.
bool isInternetReachable();
