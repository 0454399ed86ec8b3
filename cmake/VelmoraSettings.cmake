# Turns the address settings into a generated header.
set (VELMORA_GENERATED_DIR "${CMAKE_CURRENT_BINARY_DIR}/generated")

list (LENGTH VELMORA_PROBE_SITES VELMORA_PROBE_SITE_COUNT)
if (NOT VELMORA_PROBE_SITE_COUNT EQUAL 6)
    message (FATAL_ERROR "VELMORA_PROBE_SITES must hold six addresses, not ${VELMORA_PROBE_SITE_COUNT}")
endif()

set (VELMORA_PROBE_SITES_INITIALISER "")
foreach (site IN LISTS VELMORA_PROBE_SITES)
    string (APPEND VELMORA_PROBE_SITES_INITIALISER "\"${site}\", ")
endforeach()

configure_file ("${CMAKE_CURRENT_SOURCE_DIR}/cmake/BuildSettings.h.in"
                "${VELMORA_GENERATED_DIR}/BuildSettings.h" @ONLY)
