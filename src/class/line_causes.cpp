#include "line_causes.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// An address read as a number in `base`, where all of it is digits of that
// base (and, in base 16, after an optional 0x), at most 16 digits.
bool readAddress(std::string_view text, unsigned base, std::uint64_t& value, std::uint8_t& forms)
{
    forms = 0;
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        forms |= prefixed;
    }
    if (text.empty() || text.size() > 16)
        return false;
    value = 0;
    for (char c : text) {
        int digit = hexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return false;
        if (c >= 'a' && c <= 'f')
            forms |= lowercase;
        value = value * base + static_cast<unsigned>(digit);
    }
    return true;
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

Offset offsetBetween(std::uint64_t student, std::uint64_t reference)
{
    return student < reference ? Offset{true, reference - student} : Offset{false, student - reference};
}

std::int32_t lineCount(std::uint64_t lines)
{
    return static_cast<std::int32_t>(std::min<std::uint64_t>(lines, INT32_MAX));
}

}  // namespace

void LineCauses::add(const Verdict& verdict)
{
    if (!verdict.complete || !verdict.referenceComplete)
        return;
    const Symbol& student = verdict.student;
    const Symbol& reference = verdict.reference;
    // An address is judged as a number only beside its own label (in any
    // case): a shifted line's address may read as another's by chance.
    if (!verdict.addressRight && equalIgnoringCase(student.label, reference.label)) {
        std::uint64_t studentValue = 0;
        std::uint64_t referenceValue = 0;
        std::uint8_t studentForms = 0;
        std::uint8_t referenceForms = 0;
        if (readAddress(reference.address, 16, referenceValue, referenceForms)) {
            if (readAddress(student.address, 16, studentValue, studentForms) && studentValue == referenceValue) {
                ++addressForm_;
                forms_ |= studentForms & ~referenceForms;
                auto digits = [](std::string_view address, std::uint8_t forms) {
                    return address.size() - (forms & prefixed ? 2 : 0);
                };
                if (digits(student.address, studentForms) != digits(reference.address, referenceForms))
                    forms_ |= otherWidth;
            } else if (readAddress(student.address, 10, studentValue, studentForms) && studentValue == referenceValue) {
                ++decimal_;
            } else if (readAddress(student.address, 16, studentValue, studentForms)) {
                offsets_.push_back(offsetBetween(studentValue, referenceValue));
            }
        }
    }
    if (!verdict.labelRight && equalIgnoringCase(student.label, reference.label))
        ++labelCase_;
    if (student.address == reference.label && student.label == reference.address)
        ++swapped_;
}

void LineCauses::diagnose(std::vector<Diagnosis>& found) const
{
    if (addressForm_ > 0)
        found.push_back(Diagnosis{Cause::addressForm, forms_, false, lineCount(addressForm_)});
    if (decimal_ > 0)
        found.push_back(Diagnosis{Cause::decimalAddresses, 0, false, lineCount(decimal_)});
    if (!offsets_.empty()) {
        // The offset most lines share; of offsets as common, the smallest.
        std::vector<Offset> offsets = offsets_;
        std::sort(offsets.begin(), offsets.end(), [](const Offset& a, const Offset& b) {
            return a.distance != b.distance ? a.distance < b.distance : a.negative && !b.negative;
        });
        Offset best = offsets.front();
        std::uint64_t bestCount = 0;
        for (std::size_t at = 0; at < offsets.size();) {
            std::size_t end = at;
            while (end < offsets.size() && offsets[end] == offsets[at])
                ++end;
            if (end - at > bestCount) {
                best = offsets[at];
                bestCount = end - at;
            }
            at = end;
        }
        found.push_back(Diagnosis{Cause::addressOffset, 0, best.negative, lineCount(bestCount), best.distance});
    }
    if (labelCase_ > 0)
        found.push_back(Diagnosis{Cause::labelCase, 0, false, lineCount(labelCase_)});
    if (swapped_ > 0)
        found.push_back(Diagnosis{Cause::swappedColumns, 0, false, lineCount(swapped_)});
}
