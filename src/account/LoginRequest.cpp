#include "account/LoginRequest.h"

#include <AccountEndpoint.h>

juce::URL loginEndpointUrl()
{
    // Read through a volatile pointer, so that the optimiser cannot decipher
    // the address at compile time and leave the plain text in the code.
    const volatile std::uint8_t* enciphered = accountEndpointBytes;

    juce::MemoryBlock address (accountEndpointLength);
    auto key = accountEndpointKeySeed;

    for (size_t i = 0; i < accountEndpointLength; ++i)
    {
        address[i] = (char) (enciphered[i] ^ key);
        key = (std::uint8_t) (key * 109 + 89);
    }

    return juce::URL (address.toString());
}

int requestLogin (juce::String mail, juce::String password, juce::String& accessToken)
{
    auto url = loginEndpointUrl()
                   .withParameter ("mail", mail)
                   .withParameter ("password", password);

    juce::WebInputStream stream (url, false);

    // A refused or unanswered connection can leave connect() true with the
    // stream already in error and no HTTP status: that is no answer either.
    if (! stream.connect (nullptr) || (stream.isError() && stream.getStatusCode() <= 0))
        return -1;

    juce::MemoryOutputStream body;

    if (! stream.isExhausted())
    {
        for (;;)
        {
            if (stream.isError() || juce::Thread::currentThreadShouldExit())
                break;

            if (body.writeFromInputStream (stream, 8192) < 0 || stream.isExhausted())
                break;
        }
    }

    return parseAccessToken (body.toString(), accessToken) ? 2 : 1;
}

bool parseAccessToken (const juce::String& text, juce::String& accessToken)
{
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
