#include "ProgramProcess.h"

TEST (SingleInstance, ASecondStartEndsAndLeavesTheRunningCopyAlone)
{
    auto home = TestSupport::makeTempFolder ("home");
    ProgramProcess first (home);

    // A setting stored by an earlier run.
    auto settingsFile = first.getSettingsFolder().getChildFile ("Velmora.settings");
    settingsFile.getParentDirectory().createDirectory();
    settingsFile.replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<PROPERTIES><VALUE name=\"vst3Path\" val=\"/opt/vst3\"/></PROPERTIES>\n");

    ASSERT_TRUE (first.start());
    ASSERT_TRUE (TestSupport::pumpUntil ([&]
                                         { return first.getTempFolder().isDirectory(); },
                                         30000));

    auto marker = first.getTempFolder().getChildFile ("marker.txt");
    marker.replaceWithText ("first copy");
    auto settingsBefore = settingsFile.loadFileAsString();

    ProgramProcess second (home);
    ASSERT_TRUE (second.start());
    EXPECT_TRUE (second.waitForExit (30000));
    EXPECT_EQ (second.getExitCode(), 0u);

    EXPECT_TRUE (first.isRunning());
    EXPECT_TRUE (marker.existsAsFile());
    EXPECT_EQ (settingsFile.loadFileAsString(), settingsBefore);
}
