// Bytes as hexadecimal text and back, for the bytes a text file carries: two uppercase digits
// per byte, nothing between them ("12000000600000").
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

std::string HexText(std::span<const uint8_t> bytes);

// Reads two digits per byte, either case, with nothing else in the text. False (and `bytes`
// untouched) for an odd count of digits or any other character.
bool ParseHexText(std::string_view text, std::vector<uint8_t>& bytes);

}  // namespace orv
