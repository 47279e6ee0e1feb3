#pragma once

#include <string>

namespace qv {

// The allocation surrogate name tables: a file-name ending such as "_pop.alo" and the 20-character
// descriptor of its "/ALLOC FILES/" line. n runs from 0 to 20; callers look at 1 to 19 only.
// The two tables are out of step at their end: file-name entry 19 is a single blank and
// "_rail.alo " stands at 20, while "Locomotive NOx     :" stands at 19. No file name equals a
// blank, so a rail file keeps the default descriptor. An n outside 0 to 20 throws AppError 9.
std::string alloc_filename(int n);
std::string alloc_descriptor(int n);

constexpr int alloc_name_first = 1;
constexpr int alloc_name_last = 19;

}  // namespace qv
