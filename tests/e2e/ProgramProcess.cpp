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
    // The program ends with the test process, even when that is killed.
    juce::StringArray command { "setpriv", "--pdeathsig", "KILL", "--", "env", "-u", "XDG_RUNTIME_DIR", "-u", "XDG_CACHE_HOME", "HOME=" + home.getFullPathName(), "TMPDIR=" + home.getChildFile ("tmp").getFullPathName(), "XDG_CONFIG_HOME=" + home.getChildFile (".config").getFullPathName(), VELMORA_APP_PATH };
    return process.start (command, 0);
}
