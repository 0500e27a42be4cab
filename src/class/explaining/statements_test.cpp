// The statements' sizes as the reference teaches them, and a student's
// offsets fitted as an assembler's mistakes: each found alone and
// combined, and nothing told where the fit is not exact or not the only
// one.  The program (START 100, so the addresses are hexadecimal):
//   FIRST +JSUB (4)  A LDA =C'AB' (3)  LTORG (2)  B RESW 2  C RESB 16
//   D EQU *  E EQU C+4  F BYTE C'XYZ'  G BYTE X'0A0B'  H WORD 1
#include "class/explaining/statements.h"
#include "class/explaining/reference_index.h"
#include "class/intake/test_programs.h"
#include "class/model/addresses.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::string_view program = "PROG     START   100\n"
                                     "FIRST   +JSUB    SUB\n"
                                     "A        LDA     =C'AB'\n"
                                     "         LTORG\n"
                                     "B        RESW    2\n"
                                     "C        RESB    16\n"
                                     "D        EQU     *\n"
                                     "E        EQU     C+4\n"
                                     "F        BYTE    C'XYZ'\n"
                                     "G        BYTE    X'0A0B'\n"
                                     "H        WORD    1\n"
                                     "         END     FIRST\n";

constexpr std::string_view reference = "0100 PROG\n0100 FIRST\n0104 A\n0109 B\n010F C\n011F D\n0113 E\n"
                                       "011F F\n0122 G\n0124 H\n";

struct Fixture {
    TestProgram source = readProgram(program);
    ReferenceIndex index = indexReference(reference);
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);

    // The student's addresses, one for each reference line, written in
    // hexadecimal.
    std::vector<FoundMistake> fit(const std::vector<std::int64_t>& addresses) const
    {
        constexpr std::uint8_t hex = 16;
        std::vector<ObservedAddress> observed;
        for (std::uint32_t line = 0; line < addresses.size(); ++line)
            observed.push_back(ObservedAddress{line, addresses[line] - static_cast<std::int64_t>(index.values[line]),
                                               addresses[line], hex});
        return fitMistakes(model, observed);
    }
};

std::vector<StatementMistake> kinds(const std::vector<FoundMistake>& found)
{
    std::vector<StatementMistake> out;
    for (const FoundMistake& mistake : found)
        out.push_back(mistake.mistake);
    return out;
}

TEST(Statements, AFormat4OffsetIsFoundWithTheSizeTheReferenceTeaches)
{
    Fixture f;
    std::vector<FoundMistake> found = f.fit({0x100, 0x100, 0x103, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x121, 0x123});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].mistake, StatementMistake::plusSize);
    EXPECT_EQ(found[0].amount, -1);
    EXPECT_EQ(found[0].size, 4);
    EXPECT_EQ(found[0].first, 1u);
    EXPECT_EQ(found[0].statements, 1u);
}

TEST(Statements, EachDirectiveMistakeAloneIsNamed)
{
    Fixture f;
    // RESW 2 as 2 bytes: 4 short from C on; E = C+4 follows C.
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x104, 0x109, 0x10B, 0x11B, 0x10F, 0x11B, 0x11E, 0x120})),
              std::vector{StatementMistake::reswAsBytes});
    // RESB 16 read as 0x16: 6 more from D on, but E = C+4 as it was.
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x104, 0x109, 0x10F, 0x125, 0x113, 0x125, 0x128, 0x12A})),
              std::vector{StatementMistake::resbHex});
    // START 100 as decimal: every address 0x9C lower.
    EXPECT_EQ(kinds(f.fit({0x64, 0x64, 0x68, 0x6D, 0x73, 0x83, 0x77, 0x83, 0x86, 0x88})),
              std::vector{StatementMistake::startDecimal});
    // The literal pool left out: 2 short from B on.
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x104, 0x107, 0x10D, 0x11D, 0x111, 0x11D, 0x120, 0x122})),
              std::vector{StatementMistake::ltorgMissing});
    // E given the location counter, 0x11F, in place of C+4.
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x104, 0x109, 0x10F, 0x11F, 0x11F, 0x11F, 0x122, 0x124})),
              std::vector{StatementMistake::equLocation});
}

TEST(Statements, MistakesCombinedAreEachNamed)
{
    Fixture f;
    // + counted as 3, and C'XYZ' as 4 bytes.
    std::vector<FoundMistake> found = f.fit({0x100, 0x100, 0x103, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x122, 0x124});
    EXPECT_EQ(kinds(found), (std::vector{StatementMistake::plusSize, StatementMistake::byteCharLonger}));
}

TEST(Statements, NothingIsToldThatIsNotExactOrNotTheOnlyFit)
{
    Fixture f;
    // The + mistake with typos on top: of ten lines two may be left to
    // typos, each a digit of a wrong line; an address two digits off, or
    // a line given right that the mistake makes wrong, is no typo.
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x103, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x121, 0x126})),
              std::vector{StatementMistake::plusSize});
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x107, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x121, 0x123})),
              std::vector{StatementMistake::plusSize});
    EXPECT_EQ(kinds(f.fit({0x100, 0x100, 0x103, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x131, 0x129})),
              std::vector{StatementMistake::plusSize});
    EXPECT_TRUE(f.fit({0x100, 0x100, 0x103, 0x108, 0x10E, 0x11E, 0x112, 0x11E, 0x131, 0x140}).empty());
    EXPECT_TRUE(f.fit({0x100, 0x100, 0x103, 0x108, 0x10F, 0x11E, 0x112, 0x11E, 0x121, 0x123}).empty());
    // Only H is 2 bytes off: X'0A0B' a byte a digit, since no assembler
    // counts a + statement, the longest form, as 6; a byte short, it is
    // the + counted as 3.
    std::vector<ObservedAddress> onlyH{{9, 2}};
    EXPECT_EQ(kinds(fitMistakes(f.model, onlyH)), std::vector{StatementMistake::byteHexDigits});
    std::vector<ObservedAddress> shortH{{9, -1}};
    EXPECT_EQ(kinds(fitMistakes(f.model, shortH)), std::vector{StatementMistake::plusSize});
    // A right file, and lines no statement has, tell nothing.
    EXPECT_TRUE(f.fit({0x100, 0x100, 0x104, 0x109, 0x10F, 0x11F, 0x113, 0x11F, 0x122, 0x124}).empty());
    std::vector<ObservedAddress> outside{{40, 3}};
    EXPECT_TRUE(fitMistakes(f.model, outside).empty());
}

TEST(Statements, ATypoOnAnyOfTheLastLinesLeavesTheMistakeFound)
{
    Fixture f;
    // RESW 2 counted as 2 bytes, with a typo on H, G or F: the lines a set
    // is checked at before the others.  A second typo of one digit leaves
    // it found too, but not one of two digits.
    const std::vector<std::int64_t> resw{0x100, 0x100, 0x104, 0x109, 0x10B, 0x11B, 0x10F, 0x11B, 0x11E, 0x120};
    for (std::size_t typo : {9u, 8u, 7u}) {
        std::vector<std::int64_t> addresses = resw;
        addresses[typo] += 0x30;
        EXPECT_EQ(kinds(f.fit(addresses)), std::vector{StatementMistake::reswAsBytes}) << "typo on line " << typo;
        std::vector<std::int64_t> twoDigits = addresses;
        addresses[typo == 9 ? 8 : 9] += 0x30;
        EXPECT_EQ(kinds(f.fit(addresses)), std::vector{StatementMistake::reswAsBytes})
            << "typos on line " << typo << " and another";
        twoDigits[typo == 9 ? 8 : 9] += 0x33;
        EXPECT_TRUE(f.fit(twoDigits).empty()) << "typo on line " << typo << " and one of two digits";
    }
}

TEST(Statements, AProgramWhoseLabelsTheReferenceLacksExplainsNothing)
{
    TestProgram source = readProgram("X START 0\nY RESW 1\n");
    ReferenceIndex index = indexReference(reference);
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);
    std::vector<ObservedAddress> observed{{3, -4}, {4, -4}};
    EXPECT_TRUE(fitMistakes(model, observed).empty());
    EXPECT_FALSE(learnStatements({}, index.symbols, index.values, index.hasValue).usable());
}

TEST(Statements, OrgMovesTheCounterAndTakesItBack)
{
    // R RESB 6; ORG R; N RESW 1; ORG; S WORD 0.  RESW as bytes changes N
    // alone of what follows it, since ORG takes the counter back; ORG
    // ignored puts N and S 6 bytes on.
    TestProgram source = readProgram("P START 0\nR RESB 6\n ORG R\nN RESW 1\nM RESB 1\n ORG\nS WORD 0\n");
    ReferenceIndex index = indexReference("0000 P\n0000 R\n0000 N\n0003 M\n0006 S\n");
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);
    std::vector<ObservedAddress> resw{{0, 0}, {1, 0}, {2, 0}, {3, -2}, {4, 0}};
    EXPECT_EQ(kinds(fitMistakes(model, resw)), std::vector{StatementMistake::reswAsBytes});
    std::vector<ObservedAddress> ignored{{0, 0}, {1, 0}, {2, 6}, {3, 6}, {4, 4}};
    EXPECT_EQ(kinds(fitMistakes(model, ignored)), std::vector{StatementMistake::orgIgnored});
}

TEST(Statements, OperationsCountedAsWordsAreNamedWhateverTheirSizesAreKnown)
{
    // A to B is 2 CLEARs and a LDA, B to C a CLEAR and a LDA: counted as
    // words, they take 2 bytes more, then 1.
    TestProgram source = readProgram("A CLEAR X\n CLEAR A\n LDA B\nB CLEAR S\n LDA C\nC WORD 0\nD WORD 1\n");
    ReferenceIndex index = indexReference("0000 A\n0007 B\n000C C\n000F D\n");
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);
    std::vector<ObservedAddress> observed{{0, 0}, {1, 2}, {2, 3}, {3, 3}};
    std::vector<FoundMistake> found = fitMistakes(model, observed);
    ASSERT_EQ(kinds(found), std::vector{StatementMistake::shortAsWord});
    EXPECT_EQ(found[0].statements, 2u);
}

}  // namespace

TEST(Statements, OperationsCountedAsWordsNeedNoSizeOfTheirOwn)
{
    // Nothing fixes TD's or RD's size apart, but together they take 5.
    TestProgram source = readProgram("A TD X\n RD X\nB WORD 0\nC WORD 0\n");
    ReferenceIndex index = indexReference("0000 A\n0005 B\n0008 C\n");
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);
    std::vector<ObservedAddress> observed{{0, 0}, {1, 1}, {2, 1}};
    EXPECT_EQ(kinds(fitMistakes(model, observed)), std::vector{StatementMistake::shortAsWord});
}

TEST(Statements, ATypoAloneOnAnEquLineNamesNoMistake)
{
    Fixture f;
    // E is 0x113; a slip may be left to a typo, but then a mistake must
    // show wrong addresses of its own.
    EXPECT_TRUE(f.fit({0x100, 0x100, 0x104, 0x109, 0x10F, 0x11F, 0x913, 0x11F, 0x122, 0x124}).empty());
}

TEST(Statements, OperationsCountedAsWordsAreNamedBesideFormat4TheReferenceDoesNotSize)
{
    // Two spans, four operations of unknown size: none is learned, and
    // format 4 takes 4 bytes by its name.
    TestProgram source = readProgram("PROG     START   0\n"
                                     "FIRST    LDA     X\n"
                                     "         CLEAR   A\n"
                                     "        +JSUB    SUB\n"
                                     "         NORM\n"
                                     "SECOND   LDA     X\n"
                                     "        +STA     Y\n"
                                     "         SHIFTL  A,4\n"
                                     "THIRD    RESW    1\n"
                                     "         END     FIRST\n");
    ReferenceIndex index = indexReference("0000 PROG\n0000 FIRST\n000A SECOND\n0013 THIRD\n");
    StatementModel model = learnStatements(source, index.symbols, index.values, index.hasValue);
    std::vector<ObservedAddress> observed{{0, 0}, {1, 0}, {2, 3}, {3, 4}};
    EXPECT_EQ(kinds(fitMistakes(model, observed)), std::vector<StatementMistake>{StatementMistake::shortAsWord});
}

namespace {

// The student's addresses at A, B, C, E, F, G and H: too few lines for one
// of them to be left to a typo, so that only an exact fit is told.
std::vector<FoundMistake> fitFromA(const StatementModel& model, const ReferenceIndex& index,
                                   const std::vector<std::int64_t>& addresses)
{
    constexpr std::uint32_t lines[] = {2, 3, 4, 6, 7, 8, 9};
    std::vector<ObservedAddress> observed;
    for (std::size_t k = 0; k < addresses.size(); ++k)
        observed.push_back(ObservedAddress{lines[k], addresses[k] - static_cast<std::int64_t>(index.values[lines[k]])});
    return fitMistakes(model, observed);
}

}  // namespace

TEST(Statements, ABytesMistakeMovesTheLiteralPoolOnlyWhereLiteralsAreSizedAlike)
{
    Fixture f;
    ASSERT_TRUE(f.model.literalPools);
    StatementModel alike = learnStatements(f.source, f.index.symbols, f.index.values, f.index.hasValue, true);
    // C'..' a byte too long, =C'AB' in LTORG's pool too: B on is a byte late.
    std::vector<std::int64_t> pooled{0x104, 0x10A, 0x110, 0x114, 0x120, 0x124, 0x126};
    EXPECT_TRUE(fitFromA(f.model, f.index, pooled).empty());
    EXPECT_EQ(kinds(fitFromA(alike, f.index, pooled)), std::vector{StatementMistake::byteCharLonger});
    // Sized apart, only what follows BYTE C'XYZ' moves: the other way round.
    std::vector<std::int64_t> apart{0x104, 0x109, 0x10F, 0x113, 0x11F, 0x123, 0x125};
    EXPECT_EQ(kinds(fitFromA(f.model, f.index, apart)), std::vector{StatementMistake::byteCharLonger});
    EXPECT_TRUE(fitFromA(alike, f.index, apart).empty());
}

TEST(Statements, TheLinesWhoseLeavingOutAStatementNamesAreMarked)
{
    Fixture f;
    std::vector<StatementMistake> want(f.index.symbols.size(), StatementMistake::count);
    want[0] = StatementMistake::nameLeftOut;
    want[5] = want[6] = StatementMistake::equLeftOut;
    EXPECT_EQ(f.model.leftOutAs, want);
    EXPECT_EQ(f.model.nameLine, 0u);
    EXPECT_EQ(f.model.statements[static_cast<std::size_t>(StatementMistake::equLeftOut)], 2u);
}

namespace {

// The fit's rule as it reads, with every set of the candidates tried in
// turn, the fewest first: what the search must find, however it prunes.
struct EverySet {
    const StatementModel& model;
    std::vector<ObservedAddress> lines;

    std::optional<std::int64_t> offsetOf(std::uint32_t set, std::int64_t plus, std::uint32_t line) const
    {
        std::vector<FoundMistake> mistakes;
        for (std::size_t m = 0; m < statementMistakeCount; ++m)
            if ((set >> m & 1) != 0)
                mistakes.push_back(FoundMistake{static_cast<StatementMistake>(m),
                                                m == static_cast<std::size_t>(StatementMistake::plusSize) ? plus : 0});
        return mistakesOffset(model, mistakes, line);
    }

    bool oneDigitApart(const ObservedAddress& at, std::int64_t offset) const
    {
        std::int64_t a = at.written - at.offset + offset;
        if (at.base == 0)
            return true;
        return a >= 0 && at.written >= 0 && a != at.written &&
               digitsDiffering(static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(at.written), at.base, 2) == 1;
    }

    bool fits(std::uint32_t set, std::int64_t plus, int slips) const
    {
        int typos = 0;
        bool digits = true;
        int shownWrong = 0;
        for (const ObservedAddress& at : lines) {
            std::optional<std::int64_t> offset = offsetOf(set, plus, at.line);
            if (offset && *offset != at.offset) {
                if (at.offset == 0)
                    return false;
                ++typos;
                digits = digits && oneDigitApart(at, *offset);
            } else if (offset && at.offset != 0) {
                ++shownWrong;
            }
        }
        constexpr std::size_t leastLinesForAnySlip = 8;
        if (typos > slips || (!digits && (typos > 1 || lines.size() < leastLinesForAnySlip)))
            return false;
        return typos == 0 || shownWrong >= 1;
    }

    // The sets of one size that fit, each with its `+` bytes (read off
    // each line it moves).
    std::set<std::pair<std::uint32_t, std::int64_t>> fitting(std::uint32_t candidates, std::size_t size, int slips) const
    {
        constexpr auto plusBit = 1u << static_cast<std::size_t>(StatementMistake::plusSize);
        std::set<std::pair<std::uint32_t, std::int64_t>> found;
        for (std::uint32_t set = 1; set < 1u << statementMistakeCount; ++set) {
            if ((set & ~candidates) != 0 || static_cast<std::size_t>(std::popcount(set)) != size)
                continue;
            std::set<std::int64_t> tried{0};
            for (const ObservedAddress& at : lines) {
                std::optional<std::int64_t> once = offsetOf(set, 1, at.line);
                std::optional<std::int64_t> none = offsetOf(set, 0, at.line);
                if ((set & plusBit) != 0 && once && none && *once != *none && (at.offset - *none) % (*once - *none) == 0)
                    tried.insert((at.offset - *none) / (*once - *none));
            }
            std::int64_t size4 = model.size[static_cast<std::size_t>(StatementMistake::plusSize)];
            for (std::int64_t plus : tried) {
                bool plusIn = (set & plusBit) != 0;
                if (plusIn != (plus != 0) || (plusIn && !(plus < 0 && (size4 <= 0 || size4 + plus > 0))))
                    continue;
                if (fits(set, plus, slips))
                    found.emplace(set, plus);
            }
        }
        return found;
    }

    std::vector<FoundMistake> fit(bool& slipped) const
    {
        std::uint32_t candidates = 0;
        for (const ObservedAddress& at : lines)
            candidates |= model.shownAt[model.slotOfLine[at.line]];
        for (std::size_t m = 0; m < statementMistakeCount; ++m)
            candidates &= model.statements[m] > 0 ? ~0u : ~(1u << m);
        std::set<std::pair<std::uint32_t, std::int64_t>> found;
        slipped = false;
        for (std::size_t size = 1; size <= statementMistakeCount && found.empty(); ++size)
            found = fitting(candidates, size, 0);
        int mostSlips = static_cast<int>(std::min<std::size_t>(2, lines.size() / 4));
        for (int slips = 1; slips <= mostSlips && found.empty(); ++slips)
            for (std::size_t size = 1; size <= 3 && found.empty(); ++size) {
                found = fitting(candidates, size, slips);
                slipped = !found.empty();
            }
        std::vector<FoundMistake> told;
        if (found.size() != 1)
            return told;
        for (std::size_t m = 0; m < statementMistakeCount; ++m)
            if ((found.begin()->first >> m & 1) != 0)
                told.push_back(FoundMistake{static_cast<StatementMistake>(m),
                                            m == static_cast<std::size_t>(StatementMistake::plusSize) ? found.begin()->second : 0,
                                            model.first[m], model.statements[m], model.size[m]});
        return told;
    }
};

// Files as students' assemblers write them: some of the mistakes, `+`
// some bytes short, and on top typos of a digit and lines wrong at random.
void fitsAsEverySetDoes(const StatementModel& model, const ReferenceIndex& index, unsigned seed)
{
    std::mt19937 random(seed);
    for (int file = 0; file < 2000; ++file) {
        std::vector<FoundMistake> made;
        for (std::size_t m = 0; m < statementMistakeCount; ++m)
            if (random() % 4 == 0)
                made.push_back(FoundMistake{static_cast<StatementMistake>(m), -1 - static_cast<std::int64_t>(random() % 2)});
        std::uint8_t base = std::array<std::uint8_t, 3>{16, 16, 10}[random() % 3];
        EverySet every{model, {}};
        for (std::uint32_t line = 0; line < index.symbols.size(); ++line) {
            std::int64_t offset = mistakesOffset(model, made, line).value_or(0);
            auto value = static_cast<std::int64_t>(index.values[line]);
            every.lines.push_back(ObservedAddress{line, offset, value + offset, base});
        }
        for (unsigned typos = random() % 3; typos > 0; --typos) {
            ObservedAddress& at = every.lines[random() % every.lines.size()];
            std::int64_t digit = random() % 2 == 0 ? 1 : base;
            std::int64_t moved = random() % 5 == 0 ? static_cast<std::int64_t>(random() % 64) - 32 : digit;
            at.offset += moved;
            at.written += moved;
        }
        bool slipped = false;
        bool everySlipped = false;
        std::vector<FoundMistake> found = fitMistakes(model, every.lines, &slipped);
        std::vector<FoundMistake> want = every.fit(everySlipped);
        ASSERT_EQ(found, want) << "seed " << seed << ", file " << file;
        if (!want.empty()) {
            EXPECT_EQ(slipped, everySlipped) << "seed " << seed << ", file " << file;
        }
    }
}

}  // namespace

TEST(Statements, TheSearchFindsWhatTryingEverySetFinds)
{
    Fixture f;
    fitsAsEverySetDoes(f.model, f.index, 1);
    StatementModel alike = learnStatements(f.source, f.index.symbols, f.index.values, f.index.hasValue, true);
    fitsAsEverySetDoes(alike, f.index, 2);
    TestProgram org = readProgram("P START 0\nR RESB 6\n ORG R\nN RESW 1\nM RESB 1\n ORG\nS WORD 0\n"
                                  "T +LDA S\nU CLEAR X\nV EQU T+2\nW BYTE C'AB'\nX RESW 2\n");
    ReferenceIndex index = indexReference("0000 P\n0000 R\n0000 N\n0003 M\n0006 S\n0009 T\n000D U\n000B V\n000F W\n"
                                          "0011 X\n");
    fitsAsEverySetDoes(learnStatements(org, index.symbols, index.values, index.hasValue), index, 3);
}
