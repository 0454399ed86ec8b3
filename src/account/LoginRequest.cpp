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
    CancellableStream stream;
    return requestLogin (mail, password, accessToken, stream);
}

int requestLogin (juce::String mail, juce::String password, juce::String& accessToken, CancellableStream& stream)
{
    auto url = loginEndpointUrl()
                   .withParameter ("mail", mail)
                   .withParameter ("password", password);

    auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                       .withConnectionTimeoutMs (loginConnectionTimeoutMs);

    // A connection that failed after the answer's status line still counts as an
    // answer, one without a token.
    if (! stream.open (url, options))
    {
        auto answered = stream.getStatusCode() > 0 && ! stream.isCancelled();
        stream.close();
        return answered ? 1 : -1;
    }

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

    auto cancelled = stream.isCancelled();
    stream.close();

    if (cancelled)
        return -1;

    return readLoginAnswer (body.getData(), body.getDataSize(), accessToken);
}
