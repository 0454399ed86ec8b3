#include "account/LoginDialogTestSupport.h"
#include "app/Addresses.h"

// What a press of LOGIN does when the fields do not pass: none of these starts
// a sign-in, so no request can leave the process.
using LoginDialogLayout = LoginDialogFixture;
using LoginDialogValidation = LoginDialogFixture;
using LoginDialogPrefill = LoginDialogFixture;

TEST_F (LoginDialogLayout, PanelIsCentredAndAlways400By300)
{
    struct Case
    {
        int width, height;
        juce::Point<int> panelPosition;
    };

    const std::vector<Case> cases {
        { 1198, 600, { 399, 150 } },
        { 1000, 700, { 300, 200 } },
        { 1001, 701, { 300, 200 } },
        { 300, 200, { -50, -50 } },
        { 0, 0, { -200, -150 } },
    };

    LoginDialog dialog;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.width) + " x " + juce::String (c.height));
        dialog.setBounds (0, 0, c.width, c.height);

        EXPECT_EQ (dialog.panel.getBounds(), juce::Rectangle<int> (c.panelPosition.x, c.panelPosition.y, 400, 300));
        EXPECT_EQ (dialog.logo.getBounds(), juce::Rectangle<int> (0, 18, 400, 50));

        juce::Component* rows[] = { &dialog.infoLabel, &dialog.mailEditor, &dialog.passwordEditor, &dialog.forgotPasswordLink, &dialog.loginButton, &dialog.createAccountLink };

        for (int i = 0; i < 6; ++i)
        {
            EXPECT_EQ (rows[i]->getParentComponent(), &dialog.panel);
            EXPECT_EQ (rows[i]->getBounds(), juce::Rectangle<int> (72, 74 + 36 * i, 256, 30)) << "row " << i;
        }
    }
}

TEST_F (LoginDialogLayout, PaintsTheTranslucentLayerAndTheOutlinedPanel)
{
    LoginDialog dialog;
    dialog.setBounds (0, 0, 1198, 600);

    // On nothing, the layer is black at alpha 178 ...
    auto alone = TestSupport::paintToImage (dialog);
    EXPECT_EQ (alone.getPixelAt (5, 5).getARGB(), 0xb2000000u);
    EXPECT_EQ (alone.getPixelAt (1190, 590).getARGB(), 0xb2000000u);

    // ... so over white it leaves 30 % of the white showing.
    auto overWhite = paintOver (dialog, juce::Colours::white);
    auto outside = overWhite.getPixelAt (5, 5);
    EXPECT_EQ (outside.getAlpha(), 255);
    EXPECT_NEAR (outside.getRed(), 77, 1);
    EXPECT_EQ (outside.getRed(), outside.getGreen());
    EXPECT_EQ (outside.getRed(), outside.getBlue());

    // Just outside the panel the layer; its edge the grey outline; inside black.
    // The bottom strip of the panel, below the last row, holds nothing else.
    const int x = 399, y = 150, bottomStrip = y + 292;
    EXPECT_EQ (overWhite.getPixelAt (x - 1, bottomStrip), outside);
    EXPECT_EQ (overWhite.getPixelAt (x, bottomStrip).getARGB(), 0xff808080u);
    EXPECT_EQ (overWhite.getPixelAt (x + 399, bottomStrip).getARGB(), 0xff808080u);
    EXPECT_EQ (overWhite.getPixelAt (x + 200, y + 299).getARGB(), 0xff808080u);
    EXPECT_EQ (overWhite.getPixelAt (x + 200, y).getARGB(), 0xff808080u);
    EXPECT_EQ (overWhite.getPixelAt (x + 20, bottomStrip).getARGB(), 0xff000000u);
    EXPECT_EQ (overWhite.getPixelAt (x + 200, y + 9).getARGB(), 0xff000000u);
    EXPECT_EQ (overWhite.getPixelAt (x + 400, bottomStrip), outside);

    // The fields paint the look and feel's white background.
    auto mailField = dialog.mailEditor.getBoundsInParent() + dialog.panel.getPosition();
    EXPECT_EQ (overWhite.getPixelAt (mailField.getRight() - 5, mailField.getCentreY()).getARGB(), 0xffffffffu);
}

TEST_F (LoginDialogLayout, ControlsAndLinks)
{
    LoginDialog dialog;

    EXPECT_FALSE (dialog.isVisible());
    EXPECT_EQ (dialog.loginButton.getButtonText(), "LOGIN");
    EXPECT_EQ (dialog.forgotPasswordLink.getButtonText(), "Forgot password?");
    EXPECT_EQ (dialog.createAccountLink.getButtonText(), "Create account");
    EXPECT_EQ (dialog.forgotPasswordLink.getURL().toString (false), Addresses::getSiteHome().toString (false) + "/account/login");
    EXPECT_EQ (dialog.createAccountLink.getURL().toString (false), Addresses::getSiteHome().toString (false) + "/account/register");
    EXPECT_TRUE (dialog.infoLabel.getText().contains (Addresses::getSiteHost()));
    EXPECT_FALSE (dialog.infoLabel.getText().containsAnyOf ("\r\n"));
    EXPECT_EQ (dialog.panel.getText(), juce::String());
    EXPECT_EQ (&dialog.panel.getLookAndFeel(), &VelmoraApplication::getAppLookAndFeel());
    EXPECT_EQ (dialog.mailEditor.getPasswordCharacter(), 0);
    EXPECT_EQ (dialog.passwordEditor.getPasswordCharacter(), (juce::juce_wchar) 0x25cf);
    EXPECT_FALSE (dialog.mailEditor.isMultiLine());
    EXPECT_FALSE (dialog.passwordEditor.isMultiLine());
}

TEST_F (LoginDialogPrefill, StoredCredentialsFillTheFields)
{
    store()->setValue (loginMail, "jane@example.org");
    store()->setValue (loginPassword, "  s&cr=t  ");

    LoginDialog dialog;

    EXPECT_EQ (dialog.mailEditor.getText(), "jane@example.org");
    EXPECT_TRUE (dialog.passwordEditor.getText() == "  s&cr=t  ");
    EXPECT_EQ (dialog.mailEditor.getTextToShowWhenEmpty(), juce::String());
    EXPECT_EQ (dialog.passwordEditor.getTextToShowWhenEmpty(), juce::String());
}

TEST_F (LoginDialogPrefill, NothingStoredShowsGreyPlaceholders)
{
    auto dialog = makeDialog();

    EXPECT_EQ (dialog->mailEditor.getText(), juce::String());
    EXPECT_EQ (dialog->passwordEditor.getText(), juce::String());
    EXPECT_TRUE (dialog->mailEditor.getTextToShowWhenEmpty().containsChar ('@'));
    EXPECT_EQ (dialog->passwordEditor.getTextToShowWhenEmpty(), "password");

    // The placeholder is drawn in mid grey: nothing inside the field is darker
    // than that, but something is drawn.
    for (auto* editor : { &dialog->mailEditor, &dialog->passwordEditor })
    {
        auto image = editor->createComponentSnapshot (editor->getLocalBounds().reduced (3));
        int darkest = 255;

        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                darkest = juce::jmin (darkest, (int) (image.getPixelAt (x, y).getBrightness() * 255.0f));

        EXPECT_GT (darkest, 90);
        EXPECT_LT (darkest, 200);
    }
}

TEST_F (LoginDialogValidation, RefusedFieldsShowTheirBubbleAndStoreOnlyWhatPassed)
{
    struct Case
    {
        const char* name;
        juce::String mail, password;
        const char* message;
        bool atMailField;
        bool mailStored;
    };

    const std::vector<Case> cases {
        { "empty mail", "", "secret", "Please enter a valid email address", true, false },
        { "mail without at sign", "jane.example.org", "secret", "Please enter a valid email address", true, false },
        { "mail and password empty", "", "", "Please enter a valid email address", true, false },
        { "empty password", "jane@example.org", "", "Please enter a valid password", false, true },
        { "lone at sign, empty password", "@", "", "Please enter a valid password", false, true },
        { "blank mail with at sign", " @ ", "", "Please enter a valid password", false, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        store()->clear();
        auto dialog = makeDialog();
        dialog->mailEditor.setText (c.mail);
        dialog->passwordEditor.setText (c.password);

        dialog->buttonClicked (&dialog->loginButton);

        EXPECT_TRUE (showsBubble (*dialog, c.message, c.atMailField ? (juce::Component&) dialog->mailEditor : (juce::Component&) dialog->passwordEditor));
        EXPECT_EQ (store()->containsKey (loginMail), c.mailStored);
        EXPECT_FALSE (store()->containsKey (loginPassword));

        EXPECT_EQ (store()->getValue (loginMail), c.mailStored ? c.mail : juce::String());

        EXPECT_FALSE (dialog->isThreadRunning());
        EXPECT_EQ (dialog->loginResult.load(), -1);
    }
}

TEST_F (LoginDialogValidation, OtherButtonsAreIgnored)
{
    auto dialog = makeDialog();
    dialog->mailEditor.setText ("");

    dialog->buttonClicked (&dialog->createAccountLink);

    EXPECT_EQ (countBubbles (*dialog), 0);
    EXPECT_FALSE (store()->containsKey (loginMail));
}

TEST_F (LoginDialogValidation, ANewMessageReplacesTheBubble)
{
    auto dialog = makeDialog();
    dialog->mailEditor.setText ("no-at-sign");
    dialog->buttonClicked (&dialog->loginButton);
    ASSERT_TRUE (showsBubble (*dialog, "Please enter a valid email address", dialog->mailEditor));

    dialog->mailEditor.setText ("jane@example.org");
    dialog->buttonClicked (&dialog->loginButton);
    EXPECT_TRUE (showsBubble (*dialog, "Please enter a valid password", dialog->passwordEditor));

    // The bubble goes by itself after its time, and stays owned until replaced.
    EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                         { return ! dialog->bubble->isVisible(); },
                                         5000));
    EXPECT_EQ (countBubbles (*dialog), 1);
}

TEST_F (LoginDialogValidation, StoredEmailSurvivesForTheNextStart)
{
    {
        auto dialog = makeDialog();
        dialog->mailEditor.setText ("jane@example.org");
        dialog->buttonClicked (&dialog->loginButton);
    }

    LoginDialog next;
    EXPECT_EQ (next.mailEditor.getText(), "jane@example.org");
    EXPECT_EQ (next.passwordEditor.getText(), juce::String());
    EXPECT_EQ (next.passwordEditor.getTextToShowWhenEmpty(), "password");
}

TEST_F (LoginDialogValidation, TheBubbleVanishesAtTheNextMousePressAnywhereInTheProgram)
{
    // A bubble that fades out leaves a fading copy beside itself for a while; one that a
    // press removes simply goes.
    struct ChildChanges : public juce::ComponentListener
    {
        void componentChildrenChanged (juce::Component&) override { ++count; }
        int count = 0;
    };

    struct Case
    {
        const char* name;
        bool pressed;
        bool fadedOut;
    };

    const Case cases[] = {
        { "a press in another window", true, false },
        { "no press", false, true },
    };

    for (auto& c : cases)
    {
        auto dialog = makeDialog();
        dialog->addToDesktop (0);

        juce::Component elsewhere;
        elsewhere.setBounds (1500, 800, 100, 100);
        elsewhere.addToDesktop (0);
        elsewhere.setVisible (true);

        dialog->mailEditor.setText ("no-at-sign");
        dialog->buttonClicked (&dialog->loginButton);
        ASSERT_TRUE (showsBubble (*dialog, "Please enter a valid email address", dialog->mailEditor)) << c.name;

        ChildChanges changes;
        dialog->addComponentListener (&changes);

        if (c.pressed)
            TestSupport::sendClicks (elsewhere, { 50, 50 }, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 1);

        EXPECT_TRUE (TestSupport::pumpUntil ([&]
                                             { return ! dialog->bubble->isVisible(); },
                                             10000))
            << c.name;
        EXPECT_EQ (changes.count > 0, c.fadedOut) << c.name;
        EXPECT_EQ (countBubbles (*dialog), 1) << c.name;
        dialog->removeComponentListener (&changes);
    }
}

TEST_F (LoginDialogLayout, TheHintIsWhollyReadableInItsRowAlsoWithTheRealWebSite)
{
    // The web site's host in the released program, and the one of this build.
    const juce::String hosts[] = { "www.tavoline-audio.com", Addresses::getSiteHost() };

    for (auto& host : hosts)
    {
        SCOPED_TRACE (host);
        auto dialog = makeDialog();
        auto& label = dialog->infoLabel;
        label.setText (LoginDialog::makeHint (host), juce::dontSendNotification);
        EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (72, 74, 256, 30));

        // Laid out as the look and feel draws a label: fitted into the area inside its
        // border, in as many lines as the area's height holds, squeezed no further than
        // the label allows; what does not fit ends in an ellipsis.
        auto& lookAndFeel = label.getLookAndFeel();
        auto font = lookAndFeel.getLabelFont (label);
        auto area = lookAndFeel.getLabelBorderSize (label).subtractedFrom (label.getLocalBounds());
        auto lines = juce::jmax (1, (int) ((float) area.getHeight() / font.getHeight()));

        juce::GlyphArrangement glyphs;
        glyphs.addFittedText (font, label.getText(), (float) area.getX(), (float) area.getY(), (float) area.getWidth(), (float) area.getHeight(), label.getJustificationType(), lines, label.getMinimumHorizontalScale());

        juce::String drawn;

        for (int i = 0; i < glyphs.getNumGlyphs(); ++i)
            if (! glyphs.getGlyph (i).isWhitespace())
                drawn << juce::String::charToString (glyphs.getGlyph (i).getCharacter());

        EXPECT_EQ (drawn, label.getText().removeCharacters (" "));
        EXPECT_TRUE (area.toFloat().expanded (0.5f).contains (glyphs.getBoundingBox (0, -1, true)));
        EXPECT_GE (font.getHeight(), 12.0f);
        EXPECT_EQ (label.getText(), "Log in with your " + host + " e-mail and password");
    }
}
