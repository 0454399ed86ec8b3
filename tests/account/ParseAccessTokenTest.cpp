#include "account/AnswerCases.h"
#include "account/LoginRequest.h"

TEST (ParseAccessToken, ReadsTheTokenOnlyAlongItsPath)
{
    for (const auto& answer : getAnswerCases())
    {
        SCOPED_TRACE (answer.name);

        auto token = tokenBefore;
        // Decoded as the request decodes the body it has read.
        auto text = juce::String::createStringFromData (answer.body.data(), (int) answer.body.size());
        auto found = parseAccessToken (text, token);

        EXPECT_EQ (found, answer.holdsToken);
        EXPECT_TRUE (token == (answer.tokenWritten ? answer.token : tokenBefore));
    }
}
