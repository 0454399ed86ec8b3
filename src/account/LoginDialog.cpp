#include "account/LoginDialog.h"
#include "account/LoginRequest.h"
#include "account/ReachabilityProbe.h"
#include "app/Addresses.h"
#include "app/VelmoraApplication.h"

namespace
{
const float hintFontHeight = 14.0f;

// The longest a sign-in request may take, from its start to the end of its
// answer; one that takes longer ends as if the service did not answer.
constexpr int loginRequestBoundMs = 10000;
} // namespace

juce::String LoginDialog::makeHint (const juce::String& siteHost)
{
    return "Log in with your " + siteHost + " e-mail and password";
}

LoginDialog::LoginDialog()
    : juce::Thread ("Login")
{
    panel.setColour (juce::Label::backgroundColourId, baseColour);
    panel.setColour (juce::Label::outlineColourId, juce::Colours::grey);
    panel.setLookAndFeel (&VelmoraApplication::getAppLookAndFeel());

    addAndMakeVisible (panel);
    panel.addAndMakeVisible (logo);

    infoLabel.setText (makeHint (Addresses::getSiteHost()), juce::dontSendNotification);
    infoLabel.setJustificationType (juce::Justification::centred);

    auto linkFont = infoLabel.getFont();

    // A little smaller than the links, so that a hint too long for one line takes
    // two lines of its row instead of being cut off.
    infoLabel.setFont (linkFont.withHeight (hintFontHeight));

    forgotPasswordLink.setButtonText ("Forgot password?");
    forgotPasswordLink.setURL (Addresses::getSitePage ("/account/login"));
    forgotPasswordLink.setFont (linkFont, false, juce::Justification::centredLeft);

    createAccountLink.setButtonText ("Create account");
    createAccountLink.setURL (Addresses::getSitePage ("/account/register"));
    createAccountLink.setFont (linkFont, false, juce::Justification::centred);

    loginButton.setButtonText ("LOGIN");
    loginButton.addListener (this);

    auto* store = VelmoraApplication::getLoginSettings()->getUserSettings();
    auto mail = store->getValue (loginMail, {});
    auto password = store->getValue (loginPassword, {});

    auto placeholderColour = findColour (juce::TextEditor::backgroundColourId).contrasting (0.5f);

    if (mail.isNotEmpty())
        mailEditor.setText (mail);
    else
        mailEditor.setTextToShowWhenEmpty ("name@example.com", placeholderColour);

    passwordEditor.setPasswordCharacter ((juce::juce_wchar) 0x25cf);

    if (password.isNotEmpty())
        passwordEditor.setText (password);
    else
        passwordEditor.setTextToShowWhenEmpty ("password", placeholderColour);

    panel.addAndMakeVisible (forgotPasswordLink);
    panel.addAndMakeVisible (createAccountLink);
    panel.addAndMakeVisible (infoLabel);
    panel.addAndMakeVisible (mailEditor);
    panel.addAndMakeVisible (passwordEditor);
    panel.addAndMakeVisible (loginButton);
}

LoginDialog::~LoginDialog()
{
    // Cancelling the request and the probe ends the worker soon; it is awaited
    // however long that takes, so it is never killed. A cancel that reached the
    // worker just before it entered a wait is sent again.
    signalThreadShouldExit();

    do
    {
        requestStream.cancel();
        probeStream.cancel();
    } while (! waitForThreadToExit (50));

    // A report still pending belongs to a sign-in that nobody waits for now.
    stopTimer();
}

void LoginDialog::startLogin()
{
    loginButton.setMouseCursor (juce::MouseCursor::WaitCursor);

    // The running sign-in keeps its outcome and reports it itself.
    if (isThreadRunning())
    {
        showBubble ("Server is loading...", loginButton);
        return;
    }

    // The outcome of an earlier sign-in not yet reported is superseded by this one.
    stopTimer();

    loginResult = -1;
    mailToSend = mailEditor.getText();
    passwordToSend = passwordEditor.getText();
    requestStream.reset();
    probeStream.reset();
    startThread (juce::Thread::Priority::normal);

    juce::Component::SafePointer<LoginDialog> dialog (this);
    auto signIn = ++signInCount;

    juce::Timer::callAfterDelay (loginRequestBoundMs, [dialog, signIn]
                                 {
                                     if (dialog != nullptr && dialog->signInCount == signIn)
                                         dialog->requestStream.cancel(); });
}

void LoginDialog::paint (juce::Graphics& g)
{
    g.fillAll (baseColour.withAlpha (0.7f));
}

void LoginDialog::resized()
{
    panel.setBounds (getWidth() / 2 - 200, getHeight() / 2 - 150, 400, 300);

    auto panelWidth = panel.getWidth();
    logo.setBounds (0, 18, panelWidth, 50);

    auto margin = (int) ((float) panelWidth * 0.18f);
    auto rowWidth = juce::jmax (0, panelWidth - 2 * margin);
    const int rowHeight = 30;

    infoLabel.setBounds (margin, 74, rowWidth, rowHeight);
    mailEditor.setBounds (margin, 110, rowWidth, rowHeight);
    passwordEditor.setBounds (margin, 146, rowWidth, rowHeight);
    forgotPasswordLink.setBounds (margin, 182, rowWidth, rowHeight);
    loginButton.setBounds (margin, 218, rowWidth, rowHeight);
    createAccountLink.setBounds (margin, 254, rowWidth, rowHeight);
}

void LoginDialog::buttonClicked (juce::Button* button)
{
    if (button != &loginButton)
        return;

    auto* store = VelmoraApplication::getLoginSettings()->getUserSettings();

    auto mail = mailEditor.getText();

    if (mail.isEmpty() || mail.indexOfChar ('@') < 0)
    {
        showBubble ("Please enter a valid email address", mailEditor);
        return;
    }

    store->setValue (loginMail, mail);

    auto password = passwordEditor.getText();

    if (password.isEmpty())
    {
        showBubble ("Please enter a valid password", passwordEditor);
        return;
    }

    store->setValue (loginPassword, password);

    startLogin();
}

void LoginDialog::run()
{
    auto result = -1;

    if (mailToSend.isNotEmpty() && passwordToSend.isNotEmpty())
        result = requestLogin (mailToSend, passwordToSend, accessToken, requestStream);

    // Closing the program need not wait for the probe.
    if (result == -1 && ! threadShouldExit() && isInternetReachable (probeStream))
        result = 0;

    loginResult = result;
    startTimer (100);
}

void LoginDialog::timerCallback()
{
    stopTimer();

    switch (loginResult.load())
    {
        case 2:
            setVisible (false);
            sendChangeMessage();
            break;

        case 1:
            showBubble ("Not possible login, check mail and password", loginButton);
            break;

        case 0:
            showBubble ("Server not available", loginButton);
            break;

        case -1:
            showBubble ("Check internet connection", loginButton);
            break;

        default:
            break;
    }

    loginButton.setMouseCursor (juce::MouseCursor::NormalCursor);
}

void LoginDialog::showBubble (const juce::String& message, juce::Component& target)
{
    bubble = std::make_unique<juce::BubbleMessageComponent> (500);
    bubble->setAllowedPlacement (juce::BubbleComponent::above);
    bubble->setLookAndFeel (&getLookAndFeel());
    addChildComponent (*bubble);

    juce::AttributedString text;
    text.append (message, juce::Font (20.0f));

    bubble->showAt (&target, text, 1500, true, false);
}
