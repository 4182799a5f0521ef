#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "carvers/carver_harness.h"

namespace officecarve::testing {

// What lies between a document's fragments on a real disk and no carver
// recognises: prose, markup, tables, compressed or encrypted bytes, program
// code, and cleared space.
enum class UnknownKind { kText, kHtml, kCsv, kRandom, kProgram, kZeros };

inline constexpr UnknownKind kUnknownKinds[] = {UnknownKind::kText,    UnknownKind::kHtml,
                                                UnknownKind::kCsv,     UnknownKind::kRandom,
                                                UnknownKind::kProgram, UnknownKind::kZeros};

inline std::vector<uint8_t> UnknownData(UnknownKind kind, size_t bytes, std::mt19937& rng) {
  static const char* const kWords[] = {"the",  "meeting", "agreed", "budget",  "for",   "next",
                                       "year", "and",     "asked",  "whether", "costs", "rise"};
  std::string text;
  while (text.size() < bytes) {
    const std::string word = kWords[rng() % std::size(kWords)];
    switch (kind) {
      case UnknownKind::kText:
        text += word + (rng() % 9 == 0 ? ".\n" : " ");
        break;
      case UnknownKind::kHtml:
        text += "<p class=\"note\">" + word + " " + std::to_string(rng() % 1000) + "</p>\n";
        break;
      case UnknownKind::kCsv:
        text +=
            std::to_string(rng() % 100000) + "," + word + "," + std::to_string(rng() % 7) + ".25\n";
        break;
      case UnknownKind::kRandom:
        text += static_cast<char>(rng());
        break;
      case UnknownKind::kProgram: {
        // Machine code of a real program, from a random place in it.
        static const std::vector<uint8_t> program = SampleDocument("plugin.dll");
        const size_t from = rng() % (program.size() - 1024);
        text.append(program.begin() + static_cast<std::ptrdiff_t>(from),
                    program.begin() + static_cast<std::ptrdiff_t>(from + 1024));
        break;
      }
      case UnknownKind::kZeros:
        text.append(bytes, '\0');
        break;
    }
  }
  text.resize(bytes);
  return {text.begin(), text.end()};
}

}  // namespace officecarve::testing
