// What a student's file for a test shows besides its score, found while the
// file is graded (grading itself is untouched): the causes that explain
// lost points, the file's wrong lines counted for the summary, and what it
// shares that may show copying.
#ifndef LABELGRADE_FINDINGS_H
#define LABELGRADE_FINDINGS_H

#include "class/model/diagnosis.h"
#include "class/explaining/file_bytes.h"
#include "grading/score.h"
#include "grading/watcher.h"
#include "class/explaining/kept_lines.h"
#include "class/explaining/reference_index.h"
#include "class/explaining/explanation.h"
#include "class/explaining/tally.h"

#include <cstdint>
#include <string_view>
#include <vector>

struct WrittenAs;

// Watches one file at a time through the grading core, keeps its wrong
// lines until it is graded whole, and counts and marks in the worker's
// tally.
struct FindingsWatcher final : GradingWatcher {
    void start(const ReferenceIndex& reference, const MarkPlaces& places, std::uint32_t test, std::uint32_t student,
               Tally& tally);
    void studentBytes(std::string_view bytes) override;
    void checked(const Verdict& verdict) override;
    // The causes found, once the file is graded and its line counts known;
    // the evidence it holds is marked in the tally.
    std::vector<Diagnosis> finish(const LineCounts& counts);
    // The student's assembler's mistakes that the test's program names,
    // found by `finish`; the address offsets they explain are not told.
    const std::vector<FoundMistake>& mistakes() const { return mistakes_; }
    // A file not graded to its end takes back what it counted.
    void forget();

private:
    void countWrongLine(const Verdict& verdict);
    void keepTail(std::string_view bytes, std::uint64_t newlinesBefore);
    void explainByStatements(std::vector<Diagnosis>& found, const Explanation& explanation);
    bool fitStatements(const std::vector<ObservedAddress>& observed, bool typos = true);
    void readInDecimal(std::vector<Diagnosis>& found, const WrittenAs& as);
    bool mayBeDecimal(const WrittenAs& as) const;
    std::size_t linesInDecimal(const WrittenAs& as) const;
    std::uint64_t leftOver(const UnexplainedLine& line, const std::vector<Diagnosis>& found, const WrittenAs& as) const;
    std::uint64_t untoldCut(const std::vector<UnexplainedLine>& lines, const WrittenAs& as) const;
    std::uint64_t orderKey(const std::vector<Diagnosis>& found) const;
    void observedAddresses(const WrittenAs& as, const std::vector<LineReading>* readings);
    void namePrintedLines(std::vector<Diagnosis>& found);
    bool nameDoubled(const Diagnosis& diagnosis, const std::vector<Diagnosis>& found) const;
    void nameLiteralLines(std::vector<Diagnosis>& found);

    const ReferenceIndex* reference_ = nullptr;
    const MarkPlaces* places_ = nullptr;
    std::uint32_t test_ = 0;
    std::uint32_t student_ = 0;
    Tally* tally_ = nullptr;
    std::size_t marksBefore_ = 0;
    FileBytes bytes_;
    KeptLines kept_;
    std::string tailLine_;  // the line past the reference's end read so far
    // What it counted in the tally, to take back.
    std::vector<std::uint32_t> wrongPlaces_;
    std::vector<std::uint32_t> wrongLines_;
    std::vector<FoundMistake> mistakes_;
    // What a file's lines give, read once for the fit and the statements
    // named: each wrong line's address as the alignment read it; each
    // reference line's address observed; per reference line,
    // whether the file prints its label where it gives an address, as it
    // writes labels (nothing where labels are cut, which may make two
    // alike); the labels printed with an address that are no reference
    // line's nor a literal's; and the lines whose label is a literal.
    // Kept from file to file, as what they hold is not given back.
    std::vector<LineReading> readings_;
    std::vector<ObservedAddress> observed_;
    std::vector<std::uint8_t> printed_;
    std::vector<std::string_view> strays_;
    std::size_t literalLines_ = 0;
    std::vector<std::uint8_t> leftOut_;
    // The reference's labels, in any case and cut as a file cuts them,
    // for each test and cut met; kept from file to file.
    struct LabelsWritten {
        const ReferenceIndex* reference = nullptr;
        std::uint64_t cut = 0;
        LineKeys keys;
    };
    std::vector<LabelsWritten> labelsWritten_;
    const LineKeys& labelsWritten(std::uint64_t cut);
};

// What a cause says, as one number: its kind and what it says, but not how
// many lines show it, which a copy's own typos change.  Two causes with
// the same key are one piece of shared evidence; the top 32 bits tell the
// kind of cause, with only what no test's numbering changes.
std::uint64_t causeKey(const Diagnosis& diagnosis);

// The marks of a file's causes, at the test's causes: the set of its
// assembler's mistakes (the causes but the cosmetic ones, and the
// statement mistakes, with their parameters), one mark however many lines
// they explain; and an unusual order of its lines, tagged as such.
constexpr std::uint64_t orderTag = 0x8000000000000000u;

// The set's mark; 0 where the file shows no mistake but cosmetic ones.
std::uint64_t mistakesKey(const std::vector<Diagnosis>& found, const std::vector<FoundMistake>& mistakes);

#endif
