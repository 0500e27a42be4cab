#include "class/intake/handed_in.h"

#include "io/visible_text.h"

namespace {

// A note names at most this many files, each cut to this many bytes: a
// student names files, and an archive's name may run to a megabyte.
constexpr std::size_t namesShown = 3;
constexpr std::size_t longestNameShown = 120;

std::string shortName(const std::string& name)
{
    if (name.size() <= longestNameShown)
        return name;
    return name.substr(0, characterPrefix(name, longestNameShown - 3)) + "...";
}

std::string namesJoined(const std::vector<std::string>& names, std::size_t most)
{
    std::string text;
    std::size_t shown = std::min(names.size(), most);
    for (std::size_t i = 0; i < shown; ++i)
        text += (i == 0 ? "" : i + 1 == shown && shown == names.size() ? " and " : ", ") + shortName(names[i]);
    if (names.size() > shown)
        text += " and " + std::to_string(names.size() - shown) + " more";
    return text;
}

// "missing; the folder holds T1.ASM, notes.txt": what the student handed
// in that no test took, to say where the file may have gone.
std::string missingNote(const Handed& handed, const std::vector<bool>& taken)
{
    std::vector<std::string> held;
    for (std::size_t i = 0; i < handed.files.size(); ++i)
        if (!taken[i] && !handed.files[i].inUpload)
            held.push_back(handed.files[i].shown);
    std::string note;
    if (!held.empty())
        note = "missing; the folder holds " + namesJoined(held, namesShown);
    for (std::size_t i = 0; i < handed.troubles.size() && i < namesShown; ++i)
        note += (note.empty() ? "missing; " : "; ") + shortName(handed.troubles[i]);
    return note;
}

}  // namespace

std::vector<Choice> chooseFiles(const std::vector<Test>& tests, const Handed& handed, std::vector<FileNote>& notes)
{
    std::vector<Choice> choices(tests.size());
    std::vector<Match> matches(tests.size());
    std::vector<bool> taken(handed.files.size(), false);
    for (std::size_t t = 0; t < tests.size(); ++t) {
        matches[t] = matchTest(tests[t].name, handed.files);
        for (std::size_t file : matches[t].found)
            taken[file] = true;
    }
    // An upload that held a test's file was taken with it.
    for (std::size_t i = 0; i < handed.files.size(); ++i)
        if (taken[i] && handed.sources[i].kind == SourceKind::inUpload)
            taken[handed.sources[i].container] = true;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        const Match& match = matches[t];
        auto test = static_cast<std::uint32_t>(t);
        if (match.found.empty()) {
            std::string note = missingNote(handed, taken);
            if (!note.empty())
                notes.push_back(FileNote{test, NoteKind::why, std::move(note)});
            continue;
        }
        if (match.found.size() > 1) {
            std::vector<std::string> names;
            for (std::size_t file : match.found)
                names.push_back(handed.files[file].shown);
            choices[t].state = FileState::ambiguous;
            notes.push_back(FileNote{test, NoteKind::why, "not graded: " + namesJoined(names, namesShown) +
                                                             " could each be it"});
            continue;
        }
        choices[t] = Choice{FileState::graded, match.found.front()};
        if (match.rule != MatchRule::name || match.inUpload)
            notes.push_back(FileNote{test, NoteKind::gradedAs, shortName(handed.files[match.found.front()].shown)});
    }
    return choices;
}
