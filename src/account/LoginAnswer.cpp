#include "account/LoginAnswer.h"

bool isJsonNestingWithin (const juce::String& text, int maxDepth)
{
    int depth = 0;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        auto c = p.getAndAdvance();

        if (c == '{' || c == '[')
        {
            if (++depth > maxDepth)
                return false;
        }
        else if (c == '}' || c == ']')
        {
            // The parser reads nothing after the first top-level value.
            if (--depth <= 0)
                return true;
        }
        else if (c == '"' || c == '\'')
        {
            // A text: the parser takes both quote characters, and a backslash
            // escapes whatever follows it.
            for (;;)
            {
                if (p.isEmpty())
                    return true;

                auto inText = p.getAndAdvance();

                if (inText == c)
                    break;

                if (inText == '\\')
                {
                    if (p.isEmpty())
                        return true;

                    ++p;
                }
            }
        }
        else if (c == '-')
        {
            p = p.findEndOfWhitespace();

            if (! p.isDigit())
                return false;
        }
    }

    return true;
}

bool parseAccessToken (const juce::String& text, juce::String& accessToken)
{
    if (text.getNumBytesAsUTF8() > (size_t) maxLoginAnswerBytes
        || ! isJsonNestingWithin (text, maxLoginAnswerDepth))
        return false;

    juce::var answer;

    if (! juce::JSON::parse (text, answer).wasOk())
        return false;

    auto data = answer["data"];

    if (! data.isObject())
        return false;

    auto create = data["customerAccessTokenCreate"];

    if (! create.isObject())
        return false;

    auto holder = create["customerAccessToken"];

    if (! holder.isObject())
        return false;

    auto value = holder["accessToken"];
    accessToken = value.toString();
    return ! value.isVoid();
}

juce::String decodeLoginAnswer (const void* data, size_t size)
{
    // The framework's decoder reads one byte past a body that is nothing but a
    // UTF-8 byte-order mark; a copy that ends in a zero byte keeps that read inside.
    juce::MemoryBlock copy (data, size);
    copy.append ("", 1);
    return juce::String::createStringFromData (copy.getData(), (int) size);
}

int readLoginAnswer (const void* data, size_t size, juce::String& accessToken)
{
    if (size > (size_t) maxLoginAnswerBytes)
        return 1;

    return parseAccessToken (decodeLoginAnswer (data, size), accessToken) ? 2 : 1;
}
