// The program's version: the one the about box shows, `orvane-cli --version` prints and every
// --json output carries. scripts/release-version.sh reads it for the release files.
#pragma once

#include "app/version_text.h"

namespace orv {

inline constexpr char kVersion[] = ORVANE_VERSION_TEXT;

// What a --json output's "formatVersion" says: raised when a key changes meaning or goes away
// (adding a key leaves it), so a script can pin the shape it was written for.
inline constexpr unsigned kJsonFormatVersion = 1;

}  // namespace orv
