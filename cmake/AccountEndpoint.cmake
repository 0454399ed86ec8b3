# Keeps the account service's sign-in address out of the program's plain strings:
# the address is enciphered here, byte by byte, into a generated header, and the
# program deciphers it each time it builds a request.
#
# Cipher: byte i of the address XOR key i, where key 0 is the seed and
# key i+1 = (key i * 109 + 89) mod 256.

string (MD5 velmora_endpoint_digest "${VELMORA_ACCOUNT_URL}")
string (SUBSTRING "${velmora_endpoint_digest}" 0 2 velmora_endpoint_seed)
math (EXPR velmora_endpoint_seed "0x${velmora_endpoint_seed}")

string (HEX "${VELMORA_ACCOUNT_URL}" velmora_endpoint_hex)
string (LENGTH "${velmora_endpoint_hex}" velmora_endpoint_hex_length)

set (velmora_endpoint_key ${velmora_endpoint_seed})
set (velmora_endpoint_bytes "")
set (velmora_endpoint_position 0)

while (velmora_endpoint_position LESS velmora_endpoint_hex_length)
    string (SUBSTRING "${velmora_endpoint_hex}" ${velmora_endpoint_position} 2 velmora_endpoint_pair)
    math (EXPR velmora_endpoint_byte "0x${velmora_endpoint_pair} ^ ${velmora_endpoint_key}" OUTPUT_FORMAT HEXADECIMAL)
    string (APPEND velmora_endpoint_bytes "${velmora_endpoint_byte}, ")
    math (EXPR velmora_endpoint_key "(${velmora_endpoint_key} * 109 + 89) % 256")
    math (EXPR velmora_endpoint_position "${velmora_endpoint_position} + 2")
endwhile()

math (EXPR velmora_endpoint_length "${velmora_endpoint_hex_length} / 2")

set (velmora_endpoint_header "#pragma once

// Generated at configure time: the account service's sign-in address, enciphered.

#include <cstddef>
#include <cstdint>

constexpr std::uint8_t accountEndpointKeySeed = ${velmora_endpoint_seed};
constexpr std::size_t accountEndpointLength = ${velmora_endpoint_length};

// The enciphered bytes, and one spare byte so that the array is never empty.
constexpr std::uint8_t accountEndpointBytes[accountEndpointLength + 1] = { ${velmora_endpoint_bytes}0 };
")

# Rewritten only when it changes, so that a new configure does not rebuild everything.
file (CONFIGURE OUTPUT "${VELMORA_GENERATED_DIR}/AccountEndpoint.h"
      CONTENT "${velmora_endpoint_header}" @ONLY)
