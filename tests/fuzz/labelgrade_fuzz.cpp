// libFuzzer target: the whole comparison, from loading to the score line, on
// a student file and a reference file cut from one input.
//
// Input: two bytes giving the student file's length (little-endian, taken
// modulo what is left), the student file, then the reference file.
#include "compare.h"

#include <cstdint>
#include <fcntl.h>
#include <string>

namespace {

struct CloseFile {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};

using Stream = std::unique_ptr<std::FILE, CloseFile>;

// A string's buffer is never null, so an empty file opens too.
Stream openBytes(std::string& bytes)
{
    return Stream(fmemopen(bytes.data(), bytes.size(), "r"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t headerSize = 2;
    if (size < headerSize)
        return 0;
    std::size_t studentSize = (data[0] | data[1] << 8) % (size - headerSize + 1);
    const char* body = reinterpret_cast<const char*>(data) + headerSize;
    std::string studentBytes(body, studentSize);
    std::string referenceBytes(body + studentSize, size - headerSize - studentSize);

    Stream student = openBytes(studentBytes);
    Stream reference = openBytes(referenceBytes);
    if (!student || !reference)
        return 0;
    static const int sink = open("/dev/null", O_WRONLY);
    Report report;
    report.fd = sink;
    // The reference's text up to its first zero byte doubles as a test number.
    std::int32_t testNumber = readTestNumber(referenceBytes.c_str());
    compareFiles(testNumber, "student.sym", student.get(), reference.get(), report);
    flushReport(report);
    return 0;
}
