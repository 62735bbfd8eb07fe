// Slow reference coders for differential tests (see coder_reference.cpp).
#pragma once

#include <string>

std::string reference_lzss_compress(const std::string& input);
// flushes (optional) receives the number of model flushes sent.
std::string reference_arith_compress(const std::string& input, int* flushes = nullptr);
