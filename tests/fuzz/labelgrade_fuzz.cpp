// libFuzzer target: the whole comparison, from loading to the score line, on
// a student file and a reference file cut from one input. Besides what the
// sanitizers catch, the report must equal the one a plain, slow model of the
// grading rules writes: the tool's fast paths may not change a byte.
//
// Input: two bytes giving the student file's length (little-endian, taken
// modulo what is left), the student file, then the reference file.
#include "compare.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

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

std::vector<std::string_view> modelLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> modelFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = line.find_first_not_of(fieldDelimiters);
    while (at != std::string_view::npos) {
        std::size_t end = line.find_first_of(fieldDelimiters, at);
        fields.push_back(line.substr(at, end - at));
        at = line.find_first_not_of(fieldDelimiters, end);
    }
    return fields;
}

std::string modelReport(std::int32_t testNumber, std::string_view studentText,
                        std::string_view referenceText)
{
    std::vector<std::string_view> student = modelLines(studentText);
    std::vector<std::string_view> reference = modelLines(referenceText);
    std::string out;
    std::size_t wrong = 0;
    for (std::size_t p = 0; p < std::min(student.size(), reference.size()); ++p) {
        out.append("Checking: ").append(student[p]).append("\n");
        std::vector<std::string_view> s = modelFields(student[p]);
        std::vector<std::string_view> r = modelFields(reference[p]);
        std::string verdict;
        if (s.size() < 2)
            verdict = "  Missing address and/or label.\n";
        else if (r.size() < 2)
            verdict = "  Reference is missing address and/or label.\n";
        else {
            if (s[0] != r[0])
                verdict.append("  Address is ").append(s[0]).append(" but should be ").append(r[0]).append(".\n");
            if (s[1] != r[1])
                verdict.append("  Label is ").append(s[1]).append(" but should be ").append(r[1]).append(".\n");
        }
        if (verdict.empty())
            verdict = "  That looked OK.\n";
        else
            ++wrong;
        out += verdict;
    }
    std::size_t difference = std::max(student.size(), reference.size()) - std::min(student.size(), reference.size());
    if (difference != 0)
        out += "Error: had " + std::to_string(student.size()) + " lines, but should have had " +
               std::to_string(reference.size()) + ".\n";
    std::size_t penalty = wrong + difference;
    std::size_t score = reference.size() > penalty ? reference.size() - penalty : 0;
    char opening[24];
    std::snprintf(opening, sizeof opening, "%3d >> ", static_cast<int>(testNumber));
    out += std::string(opening) + " student.sym symbols: " + std::to_string(score) + " / " +
           std::to_string(reference.size()) + "\n";
    return out;
}

std::string readBack(int fd)
{
    std::string bytes;
    char chunk[65536];
    lseek(fd, 0, SEEK_SET);
    for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, static_cast<std::size_t>(got));
    return bytes;
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
    static const int sink = memfd_create("report", 0);
    if (!student || !reference || sink < 0 || ftruncate(sink, 0) != 0)
        return 0;
    lseek(sink, 0, SEEK_SET);
    Report report;
    report.fd = sink;
    // The reference's text up to its first zero byte doubles as a test number.
    std::int32_t testNumber = readTestNumber(referenceBytes.c_str());
    Outcome outcome = compareFiles(testNumber, "student.sym", student.get(), reference.get(), report);
    if (outcome != Outcome::compared || !flushReport(report))
        std::abort();
    if (readBack(sink) != modelReport(testNumber, studentBytes, referenceBytes))
        std::abort();
    return 0;
}
