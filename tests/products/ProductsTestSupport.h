#pragma once

#include "ui/MainComponent.h"

#include "support/TestSupport.h"

#include <utility>
#include <vector>

namespace ProductsTestSupport
{
// Stores the text as the cached catalogue, or removes the key when it is null.
void storeCatalogue (const juce::String& text);
void removeStoredCatalogue();

// A small JPEG of one colour.
bool writeJpeg (const juce::File& file, juce::Colour colour, int size = 16);

// A ZIP archive made by python3's zipfile module, entry names taken as they are.
juce::MemoryBlock makeZip (const std::vector<std::pair<juce::String, juce::String>>& entries);

// The open dialog window with this title, or null.
juce::DialogWindow* findDialogWindow (const juce::String& title);

// The first alert box on the desktop, or null.
juce::AlertWindow* findAlertWindow();

// Dismisses every modal window and lets the framework delete them.
void closeModalWindows();

// A main component whose own start-up has ended: its catalogue worker has reported
// (the products it built come from whatever was stored then) and its warning box is closed.
struct StartedMainComponent : public MainComponent
{
    StartedMainComponent()
    {
        EXPECT_TRUE (TestSupport::pumpUntil ([this] { return ! resources.isVisible(); }, 30000));
        TestSupport::pumpFor (50);
        closeModalWindows();
    }
};

// Counts the change messages it receives.
class ChangeCounter : public juce::ChangeListener
{
public:
    void changeListenerCallback (juce::ChangeBroadcaster*) override { ++count; }

    int count = 0;
};
} // namespace ProductsTestSupport
