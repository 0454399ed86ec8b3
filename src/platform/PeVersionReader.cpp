#include "platform/PeVersionReader.h"

juce::String PeVersionReader::readFileVersion (const juce::File&)
{
    return {};
}
