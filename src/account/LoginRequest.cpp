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

            // One byte past the bound tells a too long answer.
            auto room = maxLoginAnswerBytes + 1 - (int) body.getDataSize();

            if (room <= 0 || body.writeFromInputStream (stream, juce::jmin (8192, room)) < 0 || stream.isExhausted())
                break;
        }
    }

    return readLoginAnswer (body.getData(), body.getDataSize(), accessToken);
}
