#pragma once

#include <juce_core/juce_core.h>
#include <juce_data_structures/juce_data_structures.h>
#include <juce_events/juce_events.h>
#include <juce_graphics/juce_graphics.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <BinaryData.h>

// The program's one shared colour.
const juce::Colour baseColour { 0xff000000 };

// Keys of the sign-in store.
const juce::String loginMail { "loginMail" };
const juce::String loginPassword { "loginPassword" };
