// The lines of a text in random order: the tool's shuffle, which the plug-in's menu does not
// offer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace LineShuffle {

// The lines of Text (each with its own break) in the order the Fisher-Yates shuffle gives with
// Random::TRandom(Seed): from the last place down to the second, place I takes the line at
// place Below(I + 1), which takes the one at I. A last line without a break takes, meanwhile,
// the break of the line before it (CR LF for a text of one line), and the line that ends up
// last loses its break, as in the sorts. UTF-16, or bytes of an encoding that converts by line.
std::u16string ShuffleLines(std::u16string_view Text, uint64_t Seed);
std::string ShuffleLines(std::string_view Text, uint64_t Seed);

}  // namespace LineShuffle
