#include "test_number.h"

#include <algorithm>

namespace {

constexpr std::int64_t testNumberMagnitudeLimit = 2147483648;  // -INT32_MIN

}  // namespace

std::int32_t readTestNumber(const char* text)
{
    // atoi's white space in the C locale: blank and \t \n \v \f \r.
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        magnitude = std::min(magnitude * 10 + (*text - '0'), testNumberMagnitudeLimit);
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min(magnitude, testNumberMagnitudeLimit - 1));
}
