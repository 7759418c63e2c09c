/* The program's version as text, in a form both the compiler and the resource compiler read
   (the version resources of orvane.exe and orvane-cli.exe show it in the file's properties). */
#pragma once

#define ORVANE_VERSION_TEXT "1.01a#03"
/* The same as four numbers: 1.01a#03 is 1.1.1.3 (the letter counts from a = 1). */
#define ORVANE_VERSION_NUMBERS 1, 1, 1, 3
