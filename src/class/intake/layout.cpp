#include "class/intake/layout.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

// Most: more than half, and at least one.
bool most(std::size_t part, std::size_t whole)
{
    return part > 0 && 2 * part > whole;
}

// How many of the top's entries a site names, where it names most of the
// files or most of the folders; else none.
std::size_t entriesNamed(const SiteNames& site, const std::vector<TopEntry>& entries)
{
    std::size_t files = 0;
    std::size_t folders = 0;
    std::size_t filesNamed = 0;
    std::size_t foldersNamed = 0;
    for (const TopEntry& entry : entries) {
        bool named = site.place(entry).theirs;
        (entry.folder ? folders : files) += 1;
        (entry.folder ? foldersNamed : filesNamed) += named ? 1 : 0;
    }
    bool holds = most(filesNamed, files) || most(foldersNamed, folders);
    return holds ? filesNamed + foldersNamed : 0;
}

}  // namespace

std::vector<Student> studentsOf(const SiteNames& site, const std::vector<TopEntry>& entries,
                                std::vector<std::string>& ignored, std::vector<std::uint32_t>* owners,
                                std::vector<DoubtfulEntry>* doubtful, std::vector<OlderSubmission>* older,
                                std::vector<EntryRemark>* remarks)
{
    std::vector<Student> students;
    std::map<std::string, std::uint32_t> byKey;
    if (owners != nullptr)
        owners->assign(entries.size(), noOwner);
    std::map<std::size_t, Placed> together =
        site.placeTogether != nullptr ? site.placeTogether(entries) : std::map<std::size_t, Placed>();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto read = together.find(i);
        Placed placed = read == together.end() ? site.place(entries[i]) : std::move(read->second);
        if (remarks != nullptr && !placed.remark.empty())
            remarks->push_back(EntryRemark{std::string(entries[i].name), placed.remark, placed.warns});
        if (!placed.theirs) {
            if (placed.remark.empty() && !placed.quiet)
                ignored.emplace_back(entries[i].name);
            continue;
        }
        if (!placed.newest.empty()) {
            if (older != nullptr)
                older->push_back(OlderSubmission{std::string(entries[i].name), placed.name, placed.newest});
            continue;
        }
        if (doubtful != nullptr && !placed.otherSiteId.empty())
            doubtful->push_back(DoubtfulEntry{std::string(entries[i].name), placed.name, placed.siteId,
                                              placed.otherName, placed.otherSiteId});
        auto [found, added] = byKey.try_emplace(placed.key, static_cast<std::uint32_t>(students.size()));
        if (added) {
            Student student;
            student.name = placed.name;
            student.lmsId = placed.siteId;
            student.anonymous = placed.anonymous;
            student.hasFolder = true;
            students.push_back(std::move(student));
        }
        Student& student = students[found->second];
        if (owners != nullptr)
            (*owners)[i] = found->second;
        if (placed.folder)
            student.folders.emplace_back(entries[i].name);
        // A download's files are found through `owners`: a student keeps
        // their first, which their feedback's name needs, or all where
        // only a text the site read gives their names.
        else if (!placed.text && (owners == nullptr || student.flatFiles.empty() || site.readsText != nullptr))
            student.flatFiles.push_back(FlatFile{std::string(entries[i].name), placed.fileName, placed.fileId});
    }
    // A file's name as the text gave it is looked up by its entry.
    if (site.readsText != nullptr)
        for (Student& student : students)
            std::sort(student.flatFiles.begin(), student.flatFiles.end(),
                      [](const FlatFile& a, const FlatFile& b) { return a.entry < b.entry; });
    // In byte order of names; a learning system's namesakes, by id.
    std::vector<std::uint32_t> order(students.size());
    for (std::uint32_t s = 0; s < order.size(); ++s)
        order[s] = s;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::tie(students[a].name, students[a].lmsId) < std::tie(students[b].name, students[b].lmsId);
    });
    std::vector<std::uint32_t> placeOf(students.size());
    std::vector<Student> ordered;
    ordered.reserve(students.size());
    for (std::uint32_t s : order) {
        placeOf[s] = static_cast<std::uint32_t>(ordered.size());
        ordered.push_back(std::move(students[s]));
    }
    if (owners != nullptr)
        for (std::uint32_t& owner : *owners)
            owner = owner == noOwner ? noOwner : placeOf[owner];
    return ordered;
}

bool anySiteReadsText(SiteList sites, std::string_view name)
{
    return std::any_of(sites.begin(), sites.end(),
                       [&](const SiteNames* site) { return site->readsText != nullptr && site->readsText(name); });
}

std::string flatFileName(const SiteNames& site, std::string_view entry, const Student& owner)
{
    if (site.fileNameOf != nullptr)
        return site.fileNameOf(entry, owner);
    Placed placed = site.place(TopEntry{entry, false});
    return placed.theirs && !placed.text ? placed.fileName : std::string();
}

std::size_t detectLayout(SiteList sites, const std::vector<TopEntry>& entries)
{
    auto left = std::find_if(sites.begin(), sites.end(), [](const SiteNames* site) { return !site->recognised; });
    std::size_t chosen = left == sites.end() ? 0 : static_cast<std::size_t>(left - sites.begin());
    std::size_t mostNamed = 0;
    for (std::size_t s = 0; s < sites.size(); ++s) {
        std::size_t named = sites[s]->recognised ? entriesNamed(*sites[s], entries) : 0;
        if (named > mostNamed) {
            mostNamed = named;
            chosen = s;
        }
    }
    return chosen;
}

bool namesOneStudent(SiteList sites, std::string_view folder)
{
    return std::any_of(sites.begin(), sites.end(), [&](const SiteNames* site) {
        return site->recognised && site->place(TopEntry{folder, true}).theirs;
    });
}

bool readsAsClass(SiteList sites, const std::vector<TopEntry>& entries)
{
    if (entries.empty())
        return false;
    bool foldersOnly = std::all_of(entries.begin(), entries.end(), [](const TopEntry& entry) { return entry.folder; });
    return foldersOnly || sites[detectLayout(sites, entries)]->recognised;
}
