// Decoders of the mode pages (SPC, SBC and MMC) into labelled report lines. A page is given as
// the bytes the drive returned for it, from its page code byte, cut at the end of the answer:
// a decoder reads only inside those bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace orv {

// Title of a page code that has a decoder (bits 5-0 of the page code byte), or null.
const char* ModePageTitle(uint8_t pageCode);

// Appends the decoded lines of `page` to `text`. Returns -1, having appended nothing, when the
// page has no decoder or is shorter than its decoder needs.
int DecodeModePage(std::string& text, std::span<const uint8_t> page);

// Mode page 2Ah, the multimedia capabilities and mechanical status page. `page` holds the
// page's total length L (page length + 2) or what of it was received. Returns -1 and appends
// nothing when L is below 22.
int DecodeCapabilitiesPage(std::string& text, std::span<const uint8_t> page);

}  // namespace orv
