#include "app/Addresses.h"
#include "support/FakeOpener.h"

TEST (OpenInBrowser, WebAddressesReachTheOpenerUnchangedAndNothingElseOpens)
{
    FakeOpener opener;
    juce::StringArray expected;

    auto webAddresses = opener.getShellTraps();
    webAddresses.add ("HTTP://127.0.0.1:9/upper-case-scheme");

    for (auto& address : webAddresses)
    {
        Addresses::openInBrowser (juce::URL (address));
        expected.add (FakeOpener::describeCall ("xdg-open", { address }));
    }

    for (auto* address : { "", "file:///etc/passwd", "FILE:/etc/passwd", "/bin/touch", "touch", "ftp://127.0.0.1:9/file", "javascript:alert(1)", "mailto:someone@example.org", "someone@example.org", "-http://127.0.0.1:9/" })
        Addresses::openInBrowser (juce::URL (address));

    EXPECT_EQ (opener.waitForCalls (expected.size()), FakeOpener::listCalls (expected));
    EXPECT_EQ (opener.getTrapFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (OpenInBrowser, FallsBackOnTheBrowsersWhenTheOpenerFailsOrIsMissing)
{
    struct Case
    {
        const char* name;
        juce::StringArray programs, failing, expectedStarts;
    };

    const Case cases[] = {
        { "opener fails", { "xdg-open", "firefox", "opera" }, { "xdg-open" }, { "firefox", "xdg-open" } },
        { "no opener", { "google-chrome", "konqueror" }, {}, { "google-chrome" } },
        { "every one fails", { "xdg-open", "mozilla", "konqueror" }, { "xdg-open", "mozilla", "konqueror" }, { "konqueror", "mozilla", "xdg-open" } },
    };

    const juce::String address ("http://127.0.0.1:9/page");

    for (auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        FakeOpener opener (c.programs, c.failing);

        Addresses::openInBrowser (juce::URL (address));

        juce::StringArray expected;

        for (auto& program : c.expectedStarts)
            expected.add (FakeOpener::describeCall (program, { address }));

        EXPECT_EQ (opener.waitForCalls (expected.size()), FakeOpener::listCalls (expected));
    }
}
