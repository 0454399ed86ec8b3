#include "account/LoginDialog.h"
#include "app/Addresses.h"
#include "app/DrawImage.h"
#include "app/LogoImage.h"
#include "support/FakeOpener.h"
#include "ui/AppToolbar.h"

namespace
{
juce::MouseEvent makeMouseEvent (juce::Component& target, juce::ModifierKeys buttons, int clicks)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (source, {}, buttons, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, &target, &target, now, {}, now, clicks, false);
}

juce::String sitePage (const juce::String& path)
{
    return Addresses::getSiteHome().toString (false).trimCharactersAtEnd ("/") + path;
}

juce::String openerStart (const juce::String& address)
{
    return FakeOpener::describeCall ("xdg-open", { address });
}
} // namespace

TEST (ProgramLinks, ALinkedPictureOpensOnAnyPressAndTheLogoOnADoubleClick)
{
    FakeOpener opener;
    const juce::ModifierKeys left (juce::ModifierKeys::leftButtonModifier), right (juce::ModifierKeys::rightButtonModifier);
    const juce::String picturePage ("http://127.0.0.1:9/picture-page");

    DrawImage unlinked ({});
    unlinked.mouseDown (makeMouseEvent (unlinked, left, 1));

    DrawImage picture ({});
    picture.link = juce::URL (picturePage);
    picture.mouseDown (makeMouseEvent (picture, left, 1));
    picture.mouseDown (makeMouseEvent (picture, right, 1));

    LogoImage logo;
    logo.mouseDoubleClick (makeMouseEvent (logo, right, 2));

    EXPECT_EQ (opener.waitForCalls (3),
               FakeOpener::listCalls ({ openerStart (picturePage), openerStart (picturePage), openerStart (Addresses::getSiteHome().toString (true)) }));
}

TEST (ProgramLinks, TheMenuEntryOpensTheDownloadPage)
{
    FakeOpener opener;
    AppToolbar toolbar;
    auto menu = toolbar.createSettingsMenu();

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (it.getItem().text == "Velmora Download Page")
            it.getItem().action();

    EXPECT_EQ (opener.waitForCalls (1), openerStart (sitePage ("/pages/tavoline-audio-velmora")));
}

TEST (ProgramLinks, SignInLinksOpenTheirPagesWithoutAShell)
{
    FakeOpener opener;
    LoginDialog dialog;

    dialog.forgotPasswordLink.triggerClick();
    dialog.createAccountLink.triggerClick();

    juce::StringArray expected { openerStart (sitePage ("/account/login")), openerStart (sitePage ("/account/register")) };
    ASSERT_EQ (opener.waitForCalls (2), FakeOpener::listCalls (expected));

    // Whatever address they carry reaches the opener as it is.
    auto traps = opener.getShellTraps();
    dialog.forgotPasswordLink.setURL (juce::URL (traps[0]));
    dialog.createAccountLink.setURL (juce::URL (traps[2]));
    dialog.forgotPasswordLink.triggerClick();
    dialog.createAccountLink.triggerClick();

    expected.add (openerStart (traps[0]));
    expected.add (openerStart (traps[2]));
    EXPECT_EQ (opener.waitForCalls (4), FakeOpener::listCalls (expected));
    EXPECT_EQ (opener.getTrapFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (ProgramLinks, PressesAndClicksThroughTheWindowSystemOpenOnlyWhatTheyShould)
{
    FakeOpener opener;
    const juce::ModifierKeys left (juce::ModifierKeys::leftButtonModifier), right (juce::ModifierKeys::rightButtonModifier);
    const juce::String picturePage ("http://127.0.0.1:9/picture-page");
    const juce::Point<int> middle (50, 25);

    // Each in a window of its own, side by side, so that no click adds to another one's count.
    int nextX = 100;
    auto showAlone = [&nextX] (juce::Component& component)
    {
        component.setBounds (nextX, 100, 100, 50);
        component.addToDesktop (0);
        component.setVisible (true);
        nextX += 200;
    };

    DrawImage unlinked ({}), picture ({});
    picture.link = juce::URL (picturePage);
    LogoImage clickedLogo, doubleClickedLogo;

    for (auto* component : std::initializer_list<juce::Component*> { &unlinked, &picture, &clickedLogo, &doubleClickedLogo })
        showAlone (*component);

    TestSupport::sendClicks (unlinked, middle, left, 1);
    TestSupport::sendClicks (clickedLogo, middle, left, 1);

    // The picture opens its link on the press, before the button is released.
    TestSupport::sendMouseDown (picture, middle, left);
    EXPECT_EQ (opener.waitForCalls (1), openerStart (picturePage));
    TestSupport::sendMouseUp (picture, middle);
    TestSupport::sendClicks (picture, middle, right, 1);

    TestSupport::sendClicks (doubleClickedLogo, middle, right, 2);

    EXPECT_EQ (opener.waitForCalls (3),
               FakeOpener::listCalls ({ openerStart (picturePage), openerStart (picturePage), openerStart (Addresses::getSiteHome().toString (true)) }));
}
