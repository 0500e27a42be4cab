#include "class.h"

std::uint64_t totalOf(const Student& student)
{
    std::uint64_t total = 0;
    for (const TestResult& result : student.results)
        total += result.score;
    return total;
}
