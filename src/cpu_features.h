// What the processor this program runs on supports, for choosing a path of
// the block transform.
#ifndef J6ENC_CPU_FEATURES_H
#define J6ENC_CPU_FEATURES_H

#include <string_view>

// Whether this processor, and the operating system for the vector registers,
// supports the instruction-set extension `feature`, named as the Linux kernel
// names it in /proc/cpuinfo ("avx2", "gfni", ...). A name this function does
// not know counts as unsupported.
bool cpu_has(std::string_view feature) noexcept;

// Whether it supports every extension in `features`, a list of such names
// separated by spaces; true for an empty list.
bool cpu_has_all(std::string_view features) noexcept;

#endif
