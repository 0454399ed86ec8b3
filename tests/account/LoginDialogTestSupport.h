#pragma once

#include "account/AccountTestSupport.h"
#include "account/LoginDialog.h"
#include "app/VelmoraApplication.h"

// The overlay as the main window holds it: the program's look and feel is the
// default, the overlay is visible and covers the content area.
class LoginDialogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel (&VelmoraApplication::getAppLookAndFeel());
        store()->clear();
    }

    void TearDown() override
    {
        store()->clear();
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
    }

    static juce::PropertiesFile* store()
    {
        return VelmoraApplication::getLoginSettings()->getUserSettings();
    }

    static std::unique_ptr<LoginDialog> makeDialog()
    {
        auto dialog = std::make_unique<LoginDialog>();
        dialog->setVisible (true);
        dialog->setBounds (0, 0, 1198, 600);
        return dialog;
    }
};

// Whether the overlay shows one bubble, holding this message and pointing at
// this target: it must look exactly like a bubble made that way.
::testing::AssertionResult showsBubble (LoginDialog& dialog, const juce::String& message, juce::Component& target);

// The number of bubble components among the overlay's children.
int countBubbles (LoginDialog& dialog);

// The component painted with its children over an opaque background.
juce::Image paintOver (juce::Component& component, juce::Colour background);
