// Strings no copy of the game writes, as a damaged game.dat or a careless
// caller hands them to the text layer.
#ifndef DENTIVALE_TESTS_SUPPORT_OUTSIDE_TEXT_H
#define DENTIVALE_TESTS_SUPPORT_OUTSIDE_TEXT_H

#include <string>
#include <utility>
#include <vector>

#define REPLACEMENT "\xEF\xBF\xBD"  // U+FFFD

// Bytes, and how they read (REPLACEMENT for each ill-formed run) or "" where
// not worked out: every byte value, every cut sequence before a 7F and
// at the end, forms no character takes, the name in the game.dat that hung
// the records dialog, and 64 names of 30 random high bytes (seed 22).
std::vector<std::pair<std::string, std::string>> outside_texts(void);

#endif
