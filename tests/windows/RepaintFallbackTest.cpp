#include "platform/RepaintFallback.h"
#include "WindowsTestSupport.h"
#include "platform/PlatformLayer.h"

// A window's repaint() reaches the screen, whether or not its display reports
// vertical blanks (Wine's reports none).
class RepaintFallbackTest : public juce::UnitTest
{
public:
    RepaintFallbackTest()
        : juce::UnitTest ("Repaints", "Velmora on Windows")
    {
    }

    struct Counter : public juce::Component
    {
        void paint (juce::Graphics& g) override
        {
            g.fillAll (juce::Colours::black);
            ++paints;
        }

        int paints = 0;
    };

    void runTest() override
    {
        beginTest ("Every repaint of a window is painted");

        expect (PlatformLayer::needsRepaintFallback());
        RepaintFallback fallback;

        Counter window;
        window.setBounds (100, 100, 300, 200);
        window.addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        window.setVisible (true);

        expect (WindowsTestSupport::pumpUntil ([&]
                                               { return window.paints > 0; },
                                               10000),
                "the window was never painted");

        for (int i = 0; i < 3; ++i)
        {
            auto before = window.paints;
            window.repaint();
            expect (WindowsTestSupport::pumpUntil ([&]
                                                   { return window.paints > before; },
                                                   5000),
                    "repaint " + juce::String (i) + " never reached the screen");
        }

        window.removeFromDesktop();
    }
};

static RepaintFallbackTest repaintFallbackTest;
