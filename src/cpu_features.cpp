#include "cpu_features.h"

#include <algorithm>
#include <iterator>

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The compilers' detection also checks that the operating system saves the
// AVX and AVX-512 registers. It takes only names spelled out in the call;
// they are the kernel's for these extensions.
bool x86_has(std::string_view feature) noexcept
{
    struct Known {
        std::string_view name;
        bool supported;
    };
    const Known known[] = {
        {"avx2", static_cast<bool>(__builtin_cpu_supports("avx2"))},
        {"gfni", static_cast<bool>(__builtin_cpu_supports("gfni"))},
        {"avx512f", static_cast<bool>(__builtin_cpu_supports("avx512f"))},
        {"avx512bw", static_cast<bool>(__builtin_cpu_supports("avx512bw"))},
        {"avx512vbmi", static_cast<bool>(__builtin_cpu_supports("avx512vbmi"))},
    };
    return std::any_of(std::begin(known), std::end(known),
                       [&](const Known& k) { return k.name == feature && k.supported; });
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
