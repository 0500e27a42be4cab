// A folder per student, named as the student is: no site's download, but
// what is left where no site's names are found, and the plain gradebook.
#include "class/sites/site.h"

#include "class/outputs/feedback.h"

namespace {

Placed placeFolder(const TopEntry& entry)
{
    if (!entry.folder)
        return {};
    std::string name(entry.name);
    return Placed{true, name, name, {}, true, false, {}, {}};
}

std::string feedbackInFolder(const Student& student)
{
    return safePart(student.name) + "/feedback.txt";
}

}  // namespace

extern constinit const CourseSite foldersSite{
    .names = {.name = "folders", .recognised = false, .place = placeFolder},
    .shownName = {},
    .ignoredWhy = " is not a folder: ignored",
    .found = "SUBMISSIONS is SOURCE of a folder for each student",
    .foundOfFolder = false,
    .feedbackPath = feedbackInFolder,
    .gradebook = {.format = "csv", .gloss = "(the default)", .write = plainGradebook, .assignmentColumnIn = {},
                  .assignmentTitled = nullptr, .exportName = {}, .isExport = nullptr, .fill = nullptr,
                  .ownMakingNote = {}},
};
