#pragma once
// Hash combination for value types: fields are fed in declaration order.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace hashing {

inline void combine(std::size_t& seed, std::size_t h) {
    seed ^= h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// Declared first so that each overload sees the others when nested (optional of vector, …).
template <typename T>
void feed(std::size_t& seed, const T& v);
template <typename T>
void feed(std::size_t& seed, const std::optional<T>& v);
template <typename T>
void feed(std::size_t& seed, const std::vector<T>& v);

template <typename T>
void feed(std::size_t& seed, const T& v) {
    combine(seed, std::hash<T>{}(v));
}

template <typename T>
void feed(std::size_t& seed, const std::optional<T>& v) {
    combine(seed, v ? 1u : 0u);
    if (v) feed(seed, *v);
}

template <typename T>
void feed(std::size_t& seed, const std::vector<T>& v) {
    combine(seed, v.size());
    for (const auto& e : v) feed(seed, e);
}

template <typename... Ts>
std::size_t of(const Ts&... fields) {
    std::size_t seed = 0;
    (feed(seed, fields), ...);
    return seed;
}

}  // namespace hashing
