#include "cpu_features.h"

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The compilers' detection also checks that the operating system saves the
// AVX and AVX-512 registers. Its names are the kernel's for these extensions.
bool x86_has(std::string_view feature) noexcept
{
    if (feature == "popcnt") {
        return __builtin_cpu_supports("popcnt");
    }
    if (feature == "bmi2") {
        return __builtin_cpu_supports("bmi2");
    }
    if (feature == "avx2") {
        return __builtin_cpu_supports("avx2");
    }
    if (feature == "gfni") {
        return __builtin_cpu_supports("gfni");
    }
    if (feature == "avx512f") {
        return __builtin_cpu_supports("avx512f");
    }
    if (feature == "avx512bw") {
        return __builtin_cpu_supports("avx512bw");
    }
    return feature == "avx512vbmi" && __builtin_cpu_supports("avx512vbmi");
}
#endif

} // namespace

bool cpu_has(std::string_view feature) noexcept
{
#if defined(__x86_64__) && defined(__GNUC__)
    return x86_has(feature);
#else
    static_cast<void>(feature);
    return false;
#endif
}

bool cpu_has_all(std::string_view features) noexcept
{
    while (!features.empty()) {
        const std::size_t end = features.find(' ');
        if (end != 0 && !cpu_has(features.substr(0, end))) {
            return false;
        }
        features.remove_prefix(end == std::string_view::npos ? features.size() : end + 1);
    }
    return true;
}
