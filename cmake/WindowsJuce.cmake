# JUCE 7.0.5 for the Windows build, with its bundled zlib, libpng and libjpeg: the source
# tree named by VELMORA_JUCE_SOURCE_DIR, or else JUCE's public repository at tag 7.0.5.
set (VELMORA_JUCE_SOURCE_DIR "" CACHE PATH "A JUCE 7.0.5 source tree (empty: fetched from JUCE's repository)")

if (VELMORA_JUCE_SOURCE_DIR)
    add_subdirectory ("${VELMORA_JUCE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/JUCE")
else()
    include (FetchContent)
    FetchContent_Declare (JUCE
                          GIT_REPOSITORY https://github.com/juce-framework/JUCE.git
                          GIT_TAG 7.0.5
                          GIT_SHALLOW TRUE)
    FetchContent_MakeAvailable (JUCE)
endif()
