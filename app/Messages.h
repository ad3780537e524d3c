#pragma once

#include <string>

// The texts of the hidden message box, scrambled, ended by a null pointer.
extern const char* const g_scrambledMessages[];

// The text behind a scrambled, zero-terminated string: every byte rotated
// right by three bits, up to the first zero byte. The input is not changed.
std::string Unscramble(const char* scrambled);

// The texts of a table like g_scrambledMessages, unscrambled, in table
// order, each followed by an empty line.
std::string JoinedMessages(const char* const* table);
