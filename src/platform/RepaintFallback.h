#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A window's repaints reach the screen only at the display's vertical blank on
// Windows. Where a window's display reports none (IDXGIOutput::WaitForVBlank
// failing, as it does under Wine), this hands the window's pending repaints to
// the screen itself, about 60 times a second; a window that gets vertical blanks
// is left alone.
class RepaintFallback : private juce::Timer
{
public:
    RepaintFallback();
    ~RepaintFallback() override;

    // A window counts as getting no vertical blank after this long without one.
    static constexpr juce::uint32 silenceMs = 100;

private:
    struct WindowWatch;

    void timerCallback() override;
    WindowWatch* findWatch (juce::ComponentPeer& peer);

    std::vector<std::unique_ptr<WindowWatch>> watches;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RepaintFallback)
};
