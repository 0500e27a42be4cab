// What a student's file shows in its bytes alone, whatever its lines say:
// its line ends, a byte-order mark, zero bytes and a blank last line, told
// in pieces as the file is read.
#ifndef LABELGRADE_FILE_BYTES_H
#define LABELGRADE_FILE_BYTES_H

#include "class/model/diagnosis.h"
#include "grading/line_walk.h"
#include "grading/score.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct FileBytes {
    void add(std::string_view bytes);

    std::uint64_t size() const { return size_; }
    std::uint64_t newlines() const { return lines_.newlines; }
    bool crlf() const { return crlfLines_ > 0; }
    bool byteOrderMark() const { return size_ >= 3 && first_[0] == 0xEF && first_[1] == 0xBB && first_[2] == 0xBF; }

    // Adds what the bytes explain of a file graded with these counts:
    // carriage returns and a byte-order mark only where they cost a field.
    void diagnose(std::vector<Diagnosis>& found, const LineCounts& counts, bool crCosts, bool bomCosts) const;

private:
    std::uint64_t size_ = 0;
    LineCount lines_;
    std::uint64_t crlfLines_ = 0;
    bool zeroBytes_ = false;
    unsigned char first_[3] = {};
    char previous_ = '\n';
    bool lineBlank_ = true;       // the line being read holds only blanks so far
    bool lastLineBlank_ = false;  // the last whole line did
};

#endif
