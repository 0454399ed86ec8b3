#pragma once

#include "support/TestSupport.h"

// Shapes of the account service's answer and what the sign-in makes of them.
struct AnswerCase
{
    const char* name;
    int status; // HTTP status the service answers with
    std::string body; // the answer's body
    bool holdsToken; // parseAccessToken's result; requestLogin gives 2 or 1
    bool tokenWritten; // whether the token argument is written at all
    juce::String token; // the token afterwards, when written
};

// What the token argument holds before each call: it must survive the answers
// that do not reach the innermost level.
const juce::String tokenBefore { "earlier-value" };

const std::vector<AnswerCase>& getAnswerCases();
