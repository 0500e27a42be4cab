#ifndef LABELGRADE_TEST_NUMBER_H
#define LABELGRADE_TEST_NUMBER_H

#include <cstdint>

// The test number as atoi reads it, held to the range of a 32-bit int.
std::int32_t readTestNumber(const char* text);

#endif
