#pragma once

#include "app/Common.h"

// Version texts: the dots are removed and the rest is read as one whole number,
// so 1.1.0 (110) is older than 1.0.10 (1010).

// -1 when a is older than b, 1 when it is newer, 0 when they count as equal.
// The number is read as atoi reads it (leading white space, one optional sign,
// then decimal digits up to the first other character; none gives 0), but
// without its 32-bit limit: numbers of any length compare by their exact value.
int compareVersions (juce::String a, juce::String b);

// The file's version as three numbers ("1.0.10" for a resource holding
// 1.0.10.0), or the empty text when it has no readable version resource.
juce::String readFileVersion (const juce::File& file);
