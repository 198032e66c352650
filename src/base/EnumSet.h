#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace ws {

// A set of the values of an enumeration whose values are 0 to 63, as option sets like
// [dgTitles, dgColLines] are held. Value semantics, comparable, iterable through Contains.
template <class E>
class TEnumSet {
    static_assert(std::is_enum_v<E>, "TEnumSet holds enumeration values");

public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values) {
        for (E v : values)
            Include(v);
    }

    static constexpr TEnumSet FromBits(std::uint64_t bits) {
        TEnumSet s;
        s.m_Bits = bits;
        return s;
    }
    constexpr std::uint64_t Bits() const { return m_Bits; }

    constexpr bool Contains(E v) const { return (m_Bits & Bit(v)) != 0; }
    constexpr bool Empty() const { return m_Bits == 0; }
    constexpr TEnumSet& Include(E v) {
        m_Bits |= Bit(v);
        return *this;
    }
    constexpr TEnumSet& Exclude(E v) {
        m_Bits &= ~Bit(v);
        return *this;
    }

    constexpr friend bool operator==(TEnumSet a, TEnumSet b) { return a.m_Bits == b.m_Bits; }
    constexpr friend TEnumSet operator+(TEnumSet a, TEnumSet b) { return FromBits(a.m_Bits | b.m_Bits); }
    constexpr friend TEnumSet operator-(TEnumSet a, TEnumSet b) { return FromBits(a.m_Bits & ~b.m_Bits); }
    constexpr friend TEnumSet operator*(TEnumSet a, TEnumSet b) { return FromBits(a.m_Bits & b.m_Bits); }

private:
    static constexpr std::uint64_t Bit(E v) { return std::uint64_t{1} << static_cast<unsigned>(v); }

    std::uint64_t m_Bits = 0;
};

} // namespace ws
