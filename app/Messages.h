#pragma once

#include <string>

// The texts of the hidden message box, scrambled, ended by a null pointer.
extern const char* const g_scrambledMessages[];

// The text behind a scrambled, zero-terminated string: every byte rotated
// right by three bits, up to the first zero byte. The input is not changed.
std::string Unscramble(const char* scrambled);
