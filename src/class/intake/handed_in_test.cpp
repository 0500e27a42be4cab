// Each test's file chosen among what a student handed in, and what the
// notes tell a reader of the choice: the name a file was graded under,
// the files two of which could be it, and where a missing one may have gone.
#include "class/intake/handed_in.h"

#include <gtest/gtest.h>

namespace {

std::vector<::Test> testsNamed(std::vector<std::string> names)
{
    std::vector<::Test> tests;
    for (std::string& name : names)
        tests.push_back(::Test{std::move(name), static_cast<std::int32_t>(tests.size() + 1), {}, 0, {}, {}});
    return tests;
}

// The student's own files, then an upload's entries, each beneath the
// upload (the last of the own files) as a note shows them.
Handed handedIn(std::vector<std::string> own, std::vector<std::string> inUpload = {})
{
    Handed handed;
    for (std::string& name : own) {
        handed.files.push_back(HandedIn{name, name, false});
        handed.sources.push_back(FileSource{SourceKind::inFolder, 0, name, FileState::graded});
    }
    auto upload = static_cast<std::uint32_t>(own.size() - 1);
    for (std::string& path : inUpload) {
        handed.files.push_back(HandedIn{path.substr(path.rfind('/') + 1), own.back() + "/" + path, true});
        handed.sources.push_back(FileSource{SourceKind::inUpload, upload, path, FileState::graded});
    }
    return handed;
}

struct Chosen {
    std::vector<Choice> choices;
    std::vector<FileNote> notes;
};

Chosen choose(const std::vector<std::string>& tests, const Handed& handed)
{
    Chosen chosen;
    chosen.choices = chooseFiles(testsNamed(tests), handed, chosen.notes);
    return chosen;
}

// The note of kind `kind` on test `test`, or "(none)".
std::string noteOn(const Chosen& chosen, std::uint32_t test, NoteKind kind)
{
    for (const FileNote& note : chosen.notes)
        if (note.test == test && note.kind == kind)
            return note.text;
    return "(none)";
}

}  // namespace

TEST(ChooseFiles, NotesTheNameAFileWasGradedUnderOnlyWhereItIsNotTheTests)
{
    Handed handed = handedIn({"t1.sym", "T2.SYM", "t3.sym.txt", "t4-2.sym", "t4-10.sym"});
    Chosen chosen = choose({"t1.sym", "t2.sym", "t3.sym", "t4.sym"}, handed);
    const std::size_t expected[] = {0, 1, 2, 4};
    for (std::uint32_t t = 0; t < 4; ++t) {
        EXPECT_EQ(chosen.choices[t].state, FileState::graded) << t;
        EXPECT_EQ(chosen.choices[t].file, expected[t]) << t;
    }
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::gradedAs), "(none)");
    EXPECT_EQ(noteOn(chosen, 1, NoteKind::gradedAs), "T2.SYM");
    EXPECT_EQ(noteOn(chosen, 2, NoteKind::gradedAs), "t3.sym.txt");
    EXPECT_EQ(noteOn(chosen, 3, NoteKind::gradedAs), "t4-10.sym");
    EXPECT_EQ(chosen.notes.size(), 3u);
}

TEST(ChooseFiles, NotesAFileFoundInsideAnUploadByWhereItLies)
{
    // Under its own name, still: the student did not hand it in as it is.
    Chosen chosen = choose({"t1.sym"}, handedIn({"lab3.zip"}, {"lab3/t1.sym"}));
    EXPECT_EQ(chosen.choices[0].state, FileState::graded);
    EXPECT_EQ(chosen.choices[0].file, 1u);
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::gradedAs), "lab3.zip/lab3/t1.sym");
}

TEST(ChooseFiles, GradesNeitherOfTwoFilesThatCouldEachBeIt)
{
    Chosen chosen = choose({"t1.sym"}, handedIn({"T1.SYM", "t1.Sym"}));
    EXPECT_EQ(chosen.choices[0].state, FileState::ambiguous);
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why), "not graded: T1.SYM and t1.Sym could each be it");
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::gradedAs), "(none)");

    // Past three, the rest are counted.
    chosen = choose({"t1.sym"}, handedIn({"T1.sym", "t1.SYM", "T1.Sym", "t1.sYm", "T1.SYM"}));
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why), "not graded: T1.sym, t1.SYM, T1.Sym and 2 more could each be it");
}

TEST(ChooseFiles, SaysWhatTheFolderHoldsThatNoTestTook)
{
    Chosen chosen = choose({"t1.sym", "t2.sym"}, handedIn({"t1.sym", "notes.txt", "T2.SYM.bak"}));
    EXPECT_EQ(chosen.choices[1].state, FileState::missing);
    EXPECT_EQ(noteOn(chosen, 1, NoteKind::why), "missing; the folder holds notes.txt and T2.SYM.bak");

    chosen = choose({"t9.sym"}, handedIn({"a", "b", "c", "d", "e"}));
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why), "missing; the folder holds a, b, c and 2 more");

    // A folder that holds nothing untaken says nothing.
    chosen = choose({"t1.sym", "t2.sym"}, handedIn({"t1.sym"}));
    EXPECT_EQ(chosen.choices[1].state, FileState::missing);
    EXPECT_TRUE(chosen.notes.empty());
}

TEST(ChooseFiles, CountsAnUploadAsTakenWithTheFileFoundInIt)
{
    // The upload that held t1 is no lost file; what else it holds is not
    // the folder's.
    Chosen chosen = choose({"t1.sym", "t2.sym"}, handedIn({"lab3.zip"}, {"lab3/t1.sym", "lab3/t2.txt.bak"}));
    EXPECT_EQ(chosen.choices[1].state, FileState::missing);
    EXPECT_EQ(noteOn(chosen, 1, NoteKind::why), "(none)");

    // One that held nothing a test took is named.
    chosen = choose({"t1.sym"}, handedIn({"lab3.zip"}, {"lab3/readme"}));
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why), "missing; the folder holds lab3.zip");
}

TEST(ChooseFiles, TellsAnUploadThatCouldNotBeReadWhereAFileIsMissing)
{
    Handed handed = handedIn({"lab3.zip"});
    handed.troubles.push_back("could not read lab3.zip: Truncated ZIP file header");
    Chosen chosen = choose({"t1.sym"}, handed);
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why),
              "missing; the folder holds lab3.zip; could not read lab3.zip: Truncated ZIP file header");

    handed = handedIn({"t1.sym"});
    handed.troubles.push_back("could not read all of x.tar: damaged");
    chosen = choose({"t1.sym", "t2.sym"}, handed);
    EXPECT_EQ(noteOn(chosen, 1, NoteKind::why), "missing; could not read all of x.tar: damaged");
}

TEST(ChooseFiles, CutsALongNameBetweenCharacters)
{
    // 118 bytes, then a character of two: the cut falls before it.
    std::string name = std::string(116, 'x') + "\xC3\xA9" + std::string(10, 'y');
    Chosen chosen = choose({"t1.sym"}, handedIn({name}));
    std::string note = noteOn(chosen, 0, NoteKind::why);
    EXPECT_EQ(note, "missing; the folder holds " + std::string(116, 'x') + "...");
    // A name that fits is shown whole.
    std::string fits(120, 'z');
    chosen = choose({"t1.sym"}, handedIn({fits}));
    EXPECT_EQ(noteOn(chosen, 0, NoteKind::why), "missing; the folder holds " + fits);
}
