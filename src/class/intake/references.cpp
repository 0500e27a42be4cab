#include "class/intake/references.h"

#include "grading/fields.h"
#include "grading/line_walk.h"
#include "grading/test_number.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/visible_text.h"
#include "io/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What an entry of the references folder is, once looked at.
enum class EntryKind { file, folder, other };

bool kindOf(int folderFd, const std::string& folder, const std::string& name, EntryKind& kind, std::string& error)
{
    struct stat info;
    // The instructor's own links are followed: a reference may live
    // elsewhere.  One that leads nowhere is a test that cannot be read.
    if (fstatat(folderFd, name.c_str(), &info, 0) != 0) {
        error = "could not read " + pathInFolder(folder, name) + ": " + std::strerror(errno);
        return false;
    }
    kind = S_ISREG(info.st_mode) ? EntryKind::file : S_ISDIR(info.st_mode) ? EntryKind::folder : EntryKind::other;
    return true;
}

bool loadTest(int folderFd, const std::string& folder, const std::string& name, std::vector<Test>& tests,
              std::string& error)
{
    struct stat info;
    Descriptor file(openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    Test test;
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !readWholeFile(file.fd, test.text)) {
        error = "could not read " + pathInFolder(folder, name) + ": " + std::strerror(errno);
        return false;
    }
    test.name = name;
    test.number = testNumberOf(name);
    test.lineCount = countLines(test.text);
    test.file = FileId{info.st_dev, info.st_ino};
    tests.push_back(std::move(test));
    return true;
}

// How many of the references' files have an extension, and how many of
// those carry a test's number.
struct ExtensionCount {
    std::string extension;
    std::size_t files = 0;
    std::size_t numbered = 0;
};

bool outnumbers(const ExtensionCount& a, const ExtensionCount& b)
{
    return a.files != b.files ? a.files > b.files : a.numbered > b.numbered;
}

// The extensions that make tests: the one most files have; where as many
// have another, the one more of whose names carry a number.  Where that
// still ties, every tied one: no reference is dropped on a guess.
std::vector<std::string> testExtensions(const std::vector<std::string>& names)
{
    std::vector<ExtensionCount> counts;
    for (const std::string& name : names) {
        std::string extension = extensionOf(name);
        auto count = std::find_if(counts.begin(), counts.end(),
                                  [&](const ExtensionCount& c) { return c.extension == extension; });
        if (count == counts.end())
            count = counts.insert(counts.end(), ExtensionCount{extension, 0, 0});
        ++count->files;
        count->numbered += name.find_first_of("0123456789") != std::string::npos ? 1 : 0;
    }
    std::vector<std::string> chosen;
    if (counts.empty())
        return chosen;
    const ExtensionCount& best = *std::min_element(counts.begin(), counts.end(), outnumbers);
    for (const ExtensionCount& count : counts)
        if (!outnumbers(best, count))
            chosen.push_back(count.extension);
    return chosen;
}

// Up to a few of a folder's names, for a message.
std::string someNames(const std::vector<std::string>& names, bool utf8)
{
    constexpr std::size_t mostNamed = 3;
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < mostNamed; ++i)
        text.append(i == 0 ? "" : ", ").append(visibleText(names[i], utf8));
    if (names.size() > mostNamed)
        text += " and " + std::to_string(names.size() - mostNamed) + " more";
    return text;
}

// A folder's files and folders, by name; false where it is no folder that
// can be read.
bool listKinds(const std::string& path, std::vector<std::string>& files, std::vector<std::string>& folders)
{
    Descriptor folderFd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
    std::vector<FolderEntry> entries;
    if (folderFd.fd < 0 || !readFolder(folderFd.fd, entries))
        return false;
    for (const FolderEntry& entry : entries) {
        EntryKind kind = EntryKind::other;
        std::string ignored;
        if (!kindOf(folderFd.fd, path, entry.name, kind, ignored))
            continue;
        if (kind == EntryKind::file)
            files.push_back(entry.name);
        else if (kind == EntryKind::folder)
            folders.push_back(entry.name);
    }
    return true;
}

}  // namespace

std::int32_t testNumberOf(std::string_view name)
{
    std::size_t digits = name.find_first_of("0123456789");
    if (digits == std::string_view::npos)
        return 0;
    std::string number(name.substr(digits, name.find_first_not_of("0123456789", digits) - digits));
    return readTestNumber(number.c_str());
}

std::vector<std::uint64_t> incompleteLines(std::string_view reference)
{
    std::vector<std::uint64_t> lines;
    for (std::uint64_t number = 1; !reference.empty(); ++number)
        if (!isComplete(splitEntry(nextLine(reference))))
            lines.push_back(number);
    return lines;
}

std::string extensionOf(std::string_view name)
{
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

bool loadTests(const std::string& folder, ReferenceFolder& loaded, std::string& error)
{
    Descriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    if (folderFd.fd < 0 || !readFolder(folderFd.fd, entries)) {
        error = "could not read the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    // A folder is plainly no test; a FIFO or a device named as one is a
    // reference that is not read, and is told.
    std::vector<std::string> files;
    for (const FolderEntry& entry : entries) {
        EntryKind kind = EntryKind::other;
        if (!kindOf(folderFd.fd, folder, entry.name, kind, error))
            return false;
        if (kind == EntryKind::file)
            files.push_back(entry.name);
        else if (kind == EntryKind::other)
            loaded.skipped.push_back(entry.name);
    }
    // A README beside the references is not a test every student misses.
    std::vector<std::string> extensions = testExtensions(files);
    for (const std::string& name : files) {
        if (std::find(extensions.begin(), extensions.end(), extensionOf(name)) == extensions.end())
            loaded.notTests.push_back(name);
        else if (!loadTest(folderFd.fd, folder, name, loaded.tests, error))
            return false;
    }
    std::stable_sort(loaded.tests.begin(), loaded.tests.end(),
                     [](const Test& a, const Test& b) { return a.number < b.number; });
    return true;
}

std::string testExtensionWords(const std::vector<Test>& tests)
{
    std::vector<std::string> extensions;
    for (const Test& test : tests)
        if (std::string extension = extensionOf(test.name);
            std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
            extensions.push_back(extension);
    std::sort(extensions.begin(), extensions.end());
    if (extensions.empty() || (extensions.size() == 1 && extensions.front().empty()))
        return "the tests' names have no extension";
    std::string words = "the tests' names end in";
    for (std::size_t e = 0; e < extensions.size(); ++e)
        words += (e == 0 ? " " : e + 1 == extensions.size() ? " or " : ", ") +
                 (extensions[e].empty() ? std::string("no extension") : "." + extensions[e]);
    return words;
}

std::string swappedFolders(const std::string& references, const std::string& submissions, bool utf8,
                           std::string_view operand)
{
    std::vector<std::string> referenceFiles, referenceFolders, submittedFiles, submittedFolders;
    if (!listKinds(submissions, submittedFiles, submittedFolders) || submittedFiles.empty())
        return {};
    std::string theirs =
        std::string(operand) + " holds files (" + someNames(submittedFiles, utf8) + "), as REFERENCES should";
    struct stat info;
    if (!listKinds(references, referenceFiles, referenceFolders)) {
        if (stat(references.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return {};
        return "REFERENCES is a file, as a site's download is, and " + theirs;
    }
    if (!referenceFiles.empty() || referenceFolders.empty())
        return {};
    return "REFERENCES holds folders (" + someNames(referenceFolders, utf8) + ") and no file, as " + std::string(operand) +
           " should, and " + theirs;
}
