#include "account/AccountTestSupport.h"
#include "account/LoginRequest.h"

namespace
{
// The address the test build gives the account service, put together at run
// time so that the test binary does not hold it as one text either.
juce::String expectedEndpoint()
{
    return juce::String ("http://127.0.0.1:") + juce::String (accountServicePort) + "/" + "account/api/login";
}
} // namespace

TEST (LoginEndpoint, IsDecipheredButNotInTheBinary)
{
    auto expected = expectedEndpoint();
    EXPECT_EQ (loginEndpointUrl().toString (false), expected);

    // The same on every call: nothing is deciphered in place.
    EXPECT_EQ (loginEndpointUrl().toString (false), expected);

    juce::MemoryBlock binary;
    auto executable = juce::File::getSpecialLocation (juce::File::currentExecutableFile);
    ASSERT_TRUE (executable.loadFileAsData (binary));
    ASSERT_GT (binary.getSize(), (size_t) 0);

    auto* begin = static_cast<const char*> (binary.getData());
    auto* end = begin + binary.getSize();

    auto occurs = [&] (const juce::String& text)
    {
        std::string needle (text.toRawUTF8());
        return std::search (begin, end, needle.begin(), needle.end()) != end;
    };

    // A text that is in the binary is found, so the search itself works.
    EXPECT_TRUE (occurs ("customerAccessTokenCreate"));

    EXPECT_FALSE (occurs (expected));
    EXPECT_FALSE (occurs (expected.fromFirstOccurrenceOf ("://", false, false)));
}
