#pragma once

#include "app/CancellableStream.h"
#include "app/Common.h"
#include "app/LogoImage.h"
#include "app/WebLinkButton.h"

#include <atomic>

// The sign-in overlay: a translucent layer over the whole window with the
// sign-in panel in its middle. Each sign-in runs on the thread "Login"; a
// one-shot timer brings its outcome back to the message thread, and a change
// message follows every successful sign-in.
class LoginDialog : public juce::Component,
                    public juce::Button::Listener,
                    public juce::ChangeBroadcaster,
                    public juce::Thread,
                    public juce::Timer
{
public:
    LoginDialog();
    ~LoginDialog() override;

    // Starts a sign-in with the fields as they are now, unless one still runs.
    void startLogin();

    void paint (juce::Graphics& g) override;
    void resized() override;
    void buttonClicked (juce::Button* button) override;
    void run() override;
    void timerCallback() override;

    // The hint above the fields, naming the maker's web site by its host.
    static juce::String makeHint (const juce::String& siteHost);

    // The token of the last successful sign-in; written by the worker only.
    juce::String accessToken;

    // 2 signed in, 1 answered without a token, 0 no answer while the Internet
    // is reachable, -1 no answer and nothing reachable.
    std::atomic<int> loginResult { -1 };

    WebLinkButton forgotPasswordLink;
    WebLinkButton createAccountLink;
    juce::Label infoLabel;
    juce::Label panel;
    LogoImage logo;
    juce::TextEditor mailEditor;
    juce::TextEditor passwordEditor;
    juce::TextButton loginButton;
    std::unique_ptr<juce::BubbleMessageComponent> bubble;

private:
    void showBubble (const juce::String& message, juce::Component& target);

    // The field texts of the running sign-in, copied before its thread starts
    // so that the worker never reads the editors.
    juce::String mailToSend;
    juce::String passwordToSend;

    // The sign-in request and the probe, each cancellable from the message thread.
    CancellableStream requestStream;
    CancellableStream probeStream;

    // Counts the sign-ins started, so that a late bound ends only its own request.
    int signInCount = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LoginDialog)
};
