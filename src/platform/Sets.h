// Sets over a plain enumeration whose values lie in 0..63, with the operators the model uses.
#pragma once

#include <cstdint>
#include <initializer_list>

template <typename E>
class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values) FBits |= Bit(v);
    }
    static constexpr TSet FromBits(uint64_t bits)
    {
        TSet s;
        s.FBits = bits;
        return s;
    }

    constexpr bool Contains(E value) const { return (FBits & Bit(value)) != 0; }
    constexpr bool IsEmpty() const { return FBits == 0; }
    constexpr uint64_t Bits() const { return FBits; }
    constexpr TSet& Include(E value)
    {
        FBits |= Bit(value);
        return *this;
    }
    constexpr TSet& Exclude(E value)
    {
        FBits &= ~Bit(value);
        return *this;
    }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromBits(a.FBits | b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.FBits & ~b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromBits(a.FBits & b.FBits); }
    constexpr TSet& operator+=(TSet b)
    {
        FBits |= b.FBits;
        return *this;
    }
    constexpr TSet& operator-=(TSet b)
    {
        FBits &= ~b.FBits;
        return *this;
    }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }
    friend constexpr bool operator!=(TSet a, TSet b) { return a.FBits != b.FBits; }
    // a <= b: every element of a is in b.
    friend constexpr bool operator<=(TSet a, TSet b) { return (a.FBits & ~b.FBits) == 0; }

private:
    static constexpr uint64_t Bit(E value) { return uint64_t(1) << static_cast<unsigned>(value); }
    uint64_t FBits = 0;
};

// A set of byte values 0..255.
class TByteSet {
public:
    TByteSet() = default;
    TByteSet(std::initializer_list<uint8_t> values)
    {
        for (uint8_t v : values) Include(v);
    }
    bool Contains(uint8_t value) const { return (FBits[value >> 6] >> (value & 63)) & 1; }
    TByteSet& Include(uint8_t value)
    {
        FBits[value >> 6] |= uint64_t(1) << (value & 63);
        return *this;
    }
    TByteSet& IncludeRange(uint8_t first, uint8_t last)
    {
        for (int v = first; v <= last; ++v) Include(static_cast<uint8_t>(v));
        return *this;
    }

private:
    uint64_t FBits[4] = {0, 0, 0, 0};
};
