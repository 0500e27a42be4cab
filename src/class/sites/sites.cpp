#include "class/sites/site.h"

#include <algorithm>
#include <array>

// The table's rows, each defined in the site's own file: a site is added
// here and there alone.
extern const CourseSite foldersSite, canvasSite, moodleSite, blackboardSite, brightspaceSite;
constexpr std::array rows{&foldersSite, &canvasSite, &moodleSite, &blackboardSite, &brightspaceSite};

std::span<const CourseSite* const> courseSites()
{
    return rows;
}

std::vector<const SiteNames*> siteNames()
{
    std::vector<const SiteNames*> names;
    for (const CourseSite* site : rows)
        names.push_back(&site->names);
    return names;
}

const CourseSite* siteNamed(std::string_view name)
{
    auto found = std::find_if(rows.begin(), rows.end(), [&](const CourseSite* site) { return site->names.name == name; });
    return found == rows.end() ? nullptr : *found;
}

const CourseSite* siteWithGradebook(std::string_view format)
{
    auto found =
        std::find_if(rows.begin(), rows.end(), [&](const CourseSite* site) { return site->gradebook.format == format; });
    return found == rows.end() ? nullptr : *found;
}

std::string foundWords(const CourseSite& site, bool archive)
{
    constexpr std::string_view source = "SOURCE";
    std::string words(site.found);
    if (std::size_t at = words.find(source); at != std::string::npos)
        words.replace(at, source.size(), archive ? "an archive" : "a folder");
    return words;
}

std::string listed(const std::vector<std::string_view>& names, std::string_view last)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            list += i + 1 == names.size() ? last : ", ";
        list += names[i];
    }
    return list;
}

std::string gradebookMisfit(const CourseSite& gradebook, const CourseSite& layout, bool anonymous)
{
    const SiteGradebook& book = gradebook.gradebook;
    std::string site(gradebook.shownName);
    std::string plain(rows.front()->gradebook.format);
    if (book.matchesBy.empty() || (&layout == rows.front() && book.namesFolders))
        return {};
    if (&layout == &gradebook)
        return anonymous && !book.anonymousWay.empty()
                   ? ", " + site + "'s download for grading anonymously: its ids name no one in " + site +
                         "'s gradebook. " + std::string(book.anonymousWay)
                   : std::string();
    std::string why = site + " finds a row's student by " + std::string(book.matchesBy) + ", which ";
    if (&layout == rows.front())
        return ", a folder for each student: " + why + "only " + site + "'s own download carries; grade " + site +
               "'s download, or fill the gradebook exported from " + site + " with --into FILE, or write the " +
               plain + " gradebook";
    std::string other(layout.shownName);
    return ", which is " + other + "'s download: " + why + other + "'s does not carry; use --format " +
           std::string(layout.gradebook.format) + ", or the " + plain + " gradebook";
}
