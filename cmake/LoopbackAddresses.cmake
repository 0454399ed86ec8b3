# Cache preload for the test and demo builds: every outside address on loopback.
#   cmake -C cmake/LoopbackAddresses.cmake -S . -B build
# The demo server and the tests that need the built-in addresses serve them.
set (VELMORA_STORAGE_URL "http://127.0.0.1:47800/installer" CACHE STRING "" FORCE)
set (VELMORA_SITE_URL "http://127.0.0.1:47800" CACHE STRING "" FORCE)
set (VELMORA_ACCOUNT_URL "http://127.0.0.1:47800/account/api/login" CACHE STRING "" FORCE)
set (VELMORA_PROBE_SITES
     "http://127.0.0.1:47801;http://127.0.0.1:47802;http://127.0.0.1:47803;https://127.0.0.1:47801;https://127.0.0.1:47802;https://127.0.0.1:47803"
     CACHE STRING "" FORCE)
