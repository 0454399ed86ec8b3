#include "ProgramProcess.h"

ProgramProcess::ProgramProcess (juce::File homeFolder)
    : home (std::move (homeFolder))
{
    home.getChildFile ("tmp").createDirectory();
}

ProgramProcess::~ProgramProcess()
{
    if (process.isRunning())
        process.kill();
}

bool ProgramProcess::start()
{
    // The program ends with the test process, even when that is killed; a shell between
    // them writes down how the program ended.
    getStatusFile().deleteFile();
    juce::StringArray command { "setpriv", "--pdeathsig", "KILL", "--", "sh", "-c", "status=$1; shift; setpriv --pdeathsig KILL -- \"$@\"; echo $? > \"$status\"", "sh", getStatusFile().getFullPathName(), "env", "-u", "XDG_RUNTIME_DIR", "-u", "XDG_CACHE_HOME", "HOME=" + home.getFullPathName(), "TMPDIR=" + home.getChildFile ("tmp").getFullPathName(), "XDG_CONFIG_HOME=" + home.getChildFile (".config").getFullPathName(), VELMORA_APP_PATH };
    return process.start (command, 0);
}

juce::uint32 ProgramProcess::getExitCode()
{
    auto status = getStatusFile().loadFileAsString().trim();
    return status.containsOnly ("0123456789") && status.isNotEmpty() ? (juce::uint32) status.getIntValue() : 255u;
}

namespace
{
juce::String runTool (const juce::StringArray& command)
{
    juce::ChildProcess tool;

    if (! tool.start (command))
        return {};

    auto output = tool.readAllProcessOutput();
    tool.waitForProcessToFinish (10000);
    return output;
}
} // namespace

juce::Rectangle<int> ProgramProcess::findWindow()
{
    auto id = runTool ({ "xdotool", "search", "--onlyvisible", "--name", "Tavoline Audio Velmora" })
                  .trim()
                  .upToFirstOccurrenceOf ("\n", false, false);

    if (id.isEmpty())
        return {};

    juce::StringPairArray values;

    for (auto& line : juce::StringArray::fromLines (runTool ({ "xdotool", "getwindowgeometry", "--shell", id })))
        values.set (line.upToFirstOccurrenceOf ("=", false, false), line.fromFirstOccurrenceOf ("=", false, false));

    window = { values["X"].getIntValue(), values["Y"].getIntValue(), values["WIDTH"].getIntValue(), values["HEIGHT"].getIntValue() };
    return window;
}

void ProgramProcess::clickInWindow (juce::Point<int> position)
{
    auto onScreen = window.getPosition() + position;
    runTool ({ "xdotool", "mousemove", juce::String (onScreen.x), juce::String (onScreen.y), "click", "1" });
}
