#include "catalog/VersionHelpers.h"
#include "platform/PlatformLayer.h"

namespace
{
// A whole number of any length: its sign and its digits without leading zeros.
struct WholeNumber
{
    bool negative = false;
    juce::String digits;
};

bool isAtoiSpace (juce::juce_wchar c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit (juce::juce_wchar c)
{
    return c >= '0' && c <= '9';
}

WholeNumber readWholeNumber (const juce::String& text)
{
    auto p = text.getCharPointer();

    while (isAtoiSpace (*p))
        ++p;

    WholeNumber number;

    if (*p == '+' || *p == '-')
        number.negative = (p.getAndAdvance() == '-');

    while (*p == '0')
        ++p;

    auto start = p;

    while (isDigit (*p))
        ++p;

    number.digits = juce::String (start, p);

    if (number.digits.isEmpty())
        number.negative = false; // -0 is 0

    return number;
}

// Compares the magnitudes of two digit texts without leading zeros.
int compareMagnitudes (const juce::String& a, const juce::String& b)
{
    if (a.length() != b.length())
        return a.length() < b.length() ? -1 : 1;

    auto order = a.compare (b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}
} // namespace

int compareVersions (juce::String a, juce::String b)
{
    auto numberA = readWholeNumber (a.removeCharacters ("."));
    auto numberB = readWholeNumber (b.removeCharacters ("."));

    if (numberA.negative != numberB.negative)
        return numberA.negative ? -1 : 1;

    auto order = compareMagnitudes (numberA.digits, numberB.digits);
    return numberA.negative ? -order : order;
}

juce::String readFileVersion (const juce::File& file)
{
    auto fullVersion = PlatformLayer::getFileVersion (file);

    if (fullVersion.isEmpty())
        return {};

    auto numbers = juce::StringArray::fromTokens (fullVersion, ".", "");
    return numbers[0] + "." + numbers[1] + "." + numbers[2];
}
