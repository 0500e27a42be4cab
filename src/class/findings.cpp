#include "findings.h"

#include "hashing.h"

namespace {

// A summary shows this much of a wrong line.
constexpr std::size_t shownTextSize = 72;

}  // namespace

void FindingsWatcher::start(const ReferenceIndex& reference, const MarkPlaces& places, std::uint32_t test,
                            std::uint32_t student, Tally& tally)
{
    *this = FindingsWatcher();
    reference_ = &reference;
    places_ = &places;
    test_ = test;
    student_ = student;
    tally_ = &tally;
}

void FindingsWatcher::studentBytes(std::string_view bytes)
{
    bytes_.add(bytes);
}

void FindingsWatcher::checked(const Verdict& verdict)
{
    shifts_.add(*reference_, verdict);
    if (verdict.right())
        return;
    markWrongLine(verdict);
    lineCauses_.add(verdict);
}

void FindingsWatcher::markWrongLine(const Verdict& verdict)
{
    anyWrong_ = true;
    if (!places_->marked(test_))
        return;
    Mark mark{hashText(verdict.studentLine), student_, places_->lineOf(test_, verdict.position)};
    tally_->marks.push_back(mark);
    auto [text, added] = tally_->texts.try_emplace(TextKey{mark.place, mark.hash});
    if (added)
        text->second.assign(verdict.studentLine.substr(0, shownTextSize));
}

std::vector<Diagnosis> FindingsWatcher::finish(const LineCounts& counts)
{
    if ((anyWrong_ || counts.student != counts.reference) && places_->marked(test_))
        tally_->marks.push_back(Mark{bytes_.hash(), student_, places_->wholeFileOf(test_)});
    std::vector<Diagnosis> found;
    if (bytes_.size() == 0) {
        found.push_back(Diagnosis{Cause::emptyFile});
        return found;
    }
    bytes_.diagnose(found, counts);
    shifts_.diagnose(found);
    lineCauses_.diagnose(found);
    return found;
}
