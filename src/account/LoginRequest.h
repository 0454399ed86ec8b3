#pragma once

#include "account/LoginAnswer.h"
#include "app/CancellableStream.h"
#include "app/Common.h"

// A connection to the account service not made, or silent, for this long fails.
constexpr int loginConnectionTimeoutMs = 5000;

// The account service's sign-in endpoint, deciphered anew on each call.
juce::URL loginEndpointUrl();

// Sends one sign-in request (GET with "mail" and "password") and reads the
// answer. Returns 2 when the answer holds an access token (written into
// accessToken), 1 when the service answered without one, -1 when it did not
// answer at all. An answer longer than maxLoginAnswerBytes is refused (1)
// without being read further. Blocks the calling thread.
int requestLogin (juce::String mail, juce::String password, juce::String& accessToken);

// The same over the given stream, which another thread may cancel at any time:
// a cancelled request got no answer (-1).
int requestLogin (juce::String mail, juce::String password, juce::String& accessToken, CancellableStream& stream);
