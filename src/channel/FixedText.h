#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

// A string in a buffer of fixed size, for code that must not allocate or
// need the C++ library. What does not fit is dropped and remembered.
template<size_t Capacity>
class FixedText {
public:
    FixedText &operator<<(std::string_view part)
    {
        if (part.size() > Capacity - 1 - m_length) {
            m_overflowed = true;
            part = std::string_view(part.data(), Capacity - 1 - m_length);
        }
        std::memcpy(m_text + m_length, part.data(), part.size());
        m_length += part.size();
        m_text[m_length] = '\0';
        return *this;
    }
    FixedText &operator<<(unsigned long number)
    {
        char digits[24];
        size_t start = sizeof digits;
        do {
            digits[--start] = char('0' + number % 10);
            number /= 10;
        } while (number != 0);
        return *this << std::string_view(digits + start, sizeof digits - start);
    }

    const char *c_str() const { return m_text; }
    std::string_view view() const { return {m_text, m_length}; }
    size_t size() const { return m_length; }
    bool overflowed() const { return m_overflowed; }

private:
    char m_text[Capacity] = {};
    size_t m_length = 0;
    bool m_overflowed = false;
};
