#include "app/VelmoraApplication.h"

START_JUCE_APPLICATION (VelmoraApplication)
