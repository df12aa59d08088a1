#include "discovery/NaturalOrder.h"

#include <cstddef>

namespace plovex {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t digitRunEnd(std::string_view s, std::size_t from)
{
    while (from < s.size() && isDigit(s[from]))
        ++from;
    return from;
}

std::size_t skipZeros(std::string_view s, std::size_t from, std::size_t end)
{
    while (from < end && s[from] == '0')
        ++from;
    return from;
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::size_t endA = digitRunEnd(a, i), endB = digitRunEnd(b, j);
            const std::size_t startA = skipZeros(a, i, endA), startB = skipZeros(b, j, endB);
            const std::size_t lenA = endA - startA, lenB = endB - startB;
            if (lenA != lenB)
                return lenA < lenB;
            const int cmp = a.substr(startA, lenA).compare(b.substr(startB, lenB));
            if (cmp != 0)
                return cmp < 0;
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i == a.size();
    return a < b;
}

} // namespace plovex
