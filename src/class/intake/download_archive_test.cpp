// A class's download read as an archive, in its two passes: who the
// students are, which entry is each test's file, and what a student's
// entries may not do (leave the archive, be a link, pass for a classmate);
// then the bytes each file holds, whether the first pass kept them or the
// second has to find them again.
#include "class/intake/download_archive.h"
#include "class/sites/site.h"

#include "io/descriptor.h"
#include "io/memory_files_for_tests.h"
#include "io/zip_writer.h"

#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A tar entry: a file, a folder where the path ends in a slash, or a link
// when `link` names its target.  The zip
// writer refuses what a student's tar may hold (links, climbing paths), so
// tars are written here with libarchive itself.
struct TarEntry {
    std::string path;
    std::string bytes;
    std::string link;
    bool hard = false;
};

struct TarDeleter {
    void operator()(archive* tar) const { archive_write_free(tar); }
    void operator()(archive_entry* entry) const { archive_entry_free(entry); }
};

std::string tarOf(const std::vector<TarEntry>& entries, int format = ARCHIVE_FORMAT_TAR_PAX_RESTRICTED)
{
    Descriptor file(memfd_create("tar", 0));
    std::unique_ptr<archive, TarDeleter> tar(archive_write_new());
    bool written = tar && archive_write_set_format(tar.get(), format) == ARCHIVE_OK &&
                   archive_write_open_fd(tar.get(), file.fd) == ARCHIVE_OK;
    for (const TarEntry& wanted : entries) {
        std::unique_ptr<archive_entry, TarDeleter> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), wanted.path.c_str());
        archive_entry_set_perm(entry.get(), 0644);
        if (wanted.path.ends_with('/')) {
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
        } else if (wanted.link.empty()) {
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), static_cast<la_int64_t>(wanted.bytes.size()));
        } else if (wanted.hard) {
            archive_entry_set_hardlink(entry.get(), wanted.link.c_str());
        } else {
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_set_symlink(entry.get(), wanted.link.c_str());
        }
        written = written && archive_write_header(tar.get(), entry.get()) == ARCHIVE_OK &&
                  archive_write_data(tar.get(), wanted.bytes.data(), wanted.bytes.size()) ==
                      static_cast<la_ssize_t>(wanted.bytes.size());
    }
    if (!written || archive_write_close(tar.get()) != ARCHIVE_OK)
        std::abort();
    return fileBytes(file.fd);
}

std::vector<Test> testsNamed(std::initializer_list<const char*> names)
{
    std::vector<Test> tests;
    for (const char* name : names) {
        Test test;
        test.name = name;
        tests.push_back(test);
    }
    return tests;
}

const std::vector<Test> threeTests = testsNamed({"t1.sym", "t2.sym", "t3.sym"});

// Both passes over a download, and what each student was given.
struct Read {
    bool planned = false;
    std::string error;
    DownloadPlan plan;
    std::vector<std::vector<StudentFile>> files;
    std::vector<std::uint32_t> ready;  // students in the order they were handed over

    const Student* student(std::string_view name) const
    {
        for (const Student& student : plan.students)
            if (student.name == name)
                return &student;
        return nullptr;
    }
    FileState state(std::string_view name, std::size_t test) const
    {
        const Student* found = student(name);
        return found == nullptr ? FileState::noSubmission : plan.choices[found->sourceIndex][test].state;
    }
    // The bytes the second pass gave the student's file, or why there are none.
    std::string bytes(std::string_view name, std::size_t test) const
    {
        const Student* found = student(name);
        if (found == nullptr || files[found->sourceIndex].empty())
            return "<nothing read>";
        const StudentFile& file = files[found->sourceIndex][test];
        return file.state == FileState::graded ? file.bytes : "<" + std::string(reasonOf(file.state)) + ">";
    }
    std::string shown(std::string_view name, std::size_t test) const
    {
        return files[student(name)->sourceIndex][test].shownPath;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> names;
        for (const Student& student : plan.students)
            names.push_back(student.name);
        return names;
    }
};

Read readAll(std::string_view download, const std::vector<Test>& tests = threeTests, LayoutChoice choice = LayoutChoice{siteNames(), false, 0})
{
    Read read;
    Descriptor file = memoryFile(download);
    read.planned = planDownload(file.fd, choice, tests, read.plan, read.error);
    if (!read.planned)
        return read;
    readDownload(file.fd, "class.zip", read.plan, read.files, [&](std::uint32_t s) { read.ready.push_back(s); });
    return read;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(DownloadArchive, FindsAFolderPerStudentAndIgnoresWhatIsNoStudents)
{
    Read read = readAll(zipOf({{"ada/t1.sym", "ada 1\n"},
                               {"ada/t2.sym", "ada 2\n"},
                               {"notes.txt", "instructor's\n"},
                               {"bo/t1.sym", "bo 1\n"},
                               {"bo/deeper/t2.sym", "not bo's t2\n"},
                               {"__MACOSX/ada/._t1.sym", "litter"},
                               {"ada/.DS_Store", "litter"}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(siteNames()[read.plan.listing.site]->name, "folders");
    EXPECT_EQ(read.names(), (Names{"ada", "bo"}));
    EXPECT_EQ(read.plan.listing.ignored, (Names{"notes.txt"}));
    EXPECT_EQ(read.plan.unwrapped, 0u);
    EXPECT_EQ(read.bytes("ada", 0), "ada 1\n");
    EXPECT_EQ(read.bytes("ada", 1), "ada 2\n");
    EXPECT_EQ(read.state("ada", 2), FileState::missing);
    EXPECT_EQ(read.bytes("bo", 0), "bo 1\n");
    EXPECT_EQ(read.state("bo", 1), FileState::missing) << "a file deeper in a folder is no test's";
    EXPECT_EQ(read.shown("ada", 1), "class.zip/ada/t2.sym");
    // Every student is handed over once, whatever they handed in.
    std::sort(read.ready.begin(), read.ready.end());
    EXPECT_EQ(read.ready, (std::vector<std::uint32_t>{0, 1}));
}

TEST(DownloadArchive, ReadsAClassZippedAsItsFolderFromInsideIt)
{
    Read read = readAll(zipOf({{"lab3/ada/t1.sym", "ada\n"}, {"lab3/bo/t1.sym", "bo\n"}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(read.names(), (Names{"ada", "bo"}));
    EXPECT_EQ(read.plan.unwrappedFolder, "lab3");
    EXPECT_EQ(read.bytes("bo", 0), "bo\n");
    EXPECT_EQ(read.shown("bo", 0), "class.zip/lab3/bo/t1.sym");

    // As tar writes a folder: each folder an entry of its own.
    read = readAll(tarOf({{"lab3/", "", "", false},
                          {"lab3/ada/", "", "", false},
                          {"lab3/ada/t1.sym", "ada\n", "", false},
                          {"lab3/bo/", "", "", false},
                          {"lab3/bo/t2.sym", "bo\n", "", false}}));
    EXPECT_EQ(read.names(), (Names{"ada", "bo"}));
    EXPECT_EQ(read.bytes("bo", 1), "bo\n");
    EXPECT_TRUE(read.plan.listing.ignored.empty());

    // One student's download: their folder, holding their files and a
    // folder of drafts, is the student, not a class of one named "drafts".
    read = readAll(zipOf({{"ada/t1.sym", "ada\n"}, {"ada/drafts/t1.sym", "draft\n"}}));
    EXPECT_EQ(read.names(), (Names{"ada"}));
    EXPECT_EQ(read.bytes("ada", 0), "ada\n");
    // Nor is a Moodle student's folder a wrapping.
    read = readAll(zipOf({{"Ann Lee_42_assignsubmission_file/lab/t1.sym", "x\n"}}));
    EXPECT_EQ(read.plan.unwrapped, 0u);
    ASSERT_EQ(read.plan.students.size(), 1u);
    EXPECT_EQ(read.plan.students[0].lmsId, "42");
}

TEST(DownloadArchive, ReadsASiteDownloadWrappedInOneFolderFromInsideIt)
{
    // Canvas's flat download, unzipped and zipped again by a Mac.
    Read read = readAll(zipOf({{"lab3_submissions/.DS_Store", "litter"},
                               {"lab3_submissions/ada_12_901_t1.sym", "ada\n"},
                               {"lab3_submissions/bo_13_902_t1.sym", "bo\n"},
                               {"__MACOSX/lab3_submissions/._bo_13_902_t1.sym", "litter"},
                               {".DS_Store", "litter"}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(siteNames()[read.plan.listing.site]->name, "canvas");
    EXPECT_EQ(read.names(), (Names{"ada", "bo"}));
    EXPECT_EQ(read.plan.listing.within, "lab3_submissions");
    EXPECT_TRUE(read.plan.listing.ignored.empty()) << "names that start with a dot are no one's";
    EXPECT_EQ(read.plan.listing.litter, 2u);
    EXPECT_EQ(read.bytes("bo", 0), "bo\n");
    EXPECT_EQ(read.shown("bo", 0), "class.zip/lab3_submissions/bo_13_902_t1.sym");

    // Moodle's, with folders off.
    read = readAll(zipOf({{"Lab 3/Ann Lee_42_assignsubmission_file_t1.sym", "ann\n"}}));
    EXPECT_EQ(read.plan.listing.within, "Lab 3");
    ASSERT_EQ(read.plan.students.size(), 1u);
    EXPECT_EQ(read.plan.students[0].lmsId, "42");

    // One student's folder of their files is that student, however many.
    read = readAll(zipOf({{"ada/t1.sym", "ada\n"}, {"ada/t2.sym", "ada\n"}}));
    EXPECT_EQ(read.plan.listing.within, "");
    EXPECT_EQ(read.names(), (Names{"ada"}));
    // Nor is a folder beside a file of the class's a wrapping.
    read = readAll(zipOf({{"lab3/ada_12_901_t1.sym", "ada\n"}, {"notes.txt", "instructor's\n"}}));
    EXPECT_EQ(read.plan.listing.within, "");
}

TEST(DownloadArchive, ALinkAndSizesAfterTheDataHideNoOne)
{
    // libarchive writes each deflated entry's sizes after its data, and a
    // link's mode in the central directory alone.  ada's notes are all
    // the first pass keeps, so that bo's file is read again past them.
    Read read = readAll(tarOf({{"ada/notes.txt", std::string(8 * mebibyte, '.'), "", false},
                               {"ada/t1.sym", "", "/etc/passwd", false},
                               {"bo/t1.sym", "bo\n", "", false}},
                              ARCHIVE_FORMAT_ZIP));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(read.state("ada", 0), FileState::refusedArchiveLink);
    EXPECT_EQ(read.bytes("bo", 0), "bo\n");
    EXPECT_TRUE(read.plan.warnings.empty());
}

TEST(DownloadArchive, NoEntryLeavesTheArchiveOrIsFollowedAsALink)
{
    Read read = readAll(tarOf({{"ada/t1.sym", "ada\n", "", false},
                               {"ada/t2.sym", "", "/etc/passwd", false},
                               {"ada/t3.sym", "", "ada/t1.sym", true},
                               {"bo/t1.sym", "", "../ada/t1.sym", false},
                               {"bo/t2.sym", "bo 2\n", "", false},
                               {"../escape/t1.sym", "out\n", "", false},
                               {"/abs/t1.sym", "abs\n", "", false},
                               {"bo/../../t3.sym", "climbed\n", "", false}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(read.names(), (Names{"ada", "bo"})) << "a path out of the download is no student's";
    EXPECT_EQ(read.bytes("ada", 0), "ada\n");
    EXPECT_EQ(read.state("ada", 1), FileState::refusedArchiveLink);
    EXPECT_EQ(read.state("ada", 2), FileState::refusedArchiveLink);
    EXPECT_EQ(read.state("bo", 0), FileState::refusedArchiveLink);
    EXPECT_EQ(read.bytes("bo", 1), "bo 2\n");
    EXPECT_EQ(read.state("bo", 2), FileState::missing);
    for (const WantedFile& wanted : read.plan.wanted)
        EXPECT_EQ(read.plan.pathOf(wanted).find(".."), std::string_view::npos);
}

TEST(DownloadArchive, ReadsTheFilesInsideAStudentsUpload)
{
    std::string upload = zipOf({{"lab3/t1.sym", "inside 1\n"}, {"lab3/t2.sym", "inside 2\n"}});
    std::string linked = tarOf({{"t1.sym", "", "/etc/shadow", false}});
    std::string climbing = tarOf({{"../t1.sym", "out\n", "", false}, {"/t2.sym", "abs\n", "", false}});
    Read read = readAll(zipOf({{"ada/lab3.zip", upload},
                               {"ada/t3.sym", "ada 3\n"},
                               {"bo/lab3.tar", linked},
                               {"cy/lab3.zip", "no zip at all"},
                               {"dee/lab3.tar", climbing}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(read.bytes("ada", 0), "inside 1\n");
    EXPECT_EQ(read.bytes("ada", 1), "inside 2\n");
    EXPECT_EQ(read.bytes("ada", 2), "ada 3\n");
    EXPECT_EQ(read.shown("ada", 1), "class.zip/ada/lab3.zip/lab3/t2.sym");
    EXPECT_EQ(read.state("bo", 0), FileState::refusedArchiveLink);
    EXPECT_EQ(read.state("cy", 0), FileState::missing);
    EXPECT_EQ(read.state("dee", 0), FileState::refusedArchivePath);
    EXPECT_EQ(read.state("dee", 1), FileState::refusedArchivePath);
    // The upload that could not be read is its student's note, no one else's.
    bool noted = false;
    for (const FileNote& note : read.student("cy")->notes)
        noted = noted || note.text.find("lab3.zip") != std::string::npos;
    EXPECT_TRUE(noted);
    for (const FileNote& note : read.student("ada")->notes)
        EXPECT_EQ(note.text.find("could not"), std::string::npos) << note.text;
}

TEST(DownloadArchive, ReadsCanvasFlatNamesAsTheirStudents)
{
    Read read = readAll(zipOf({{"ada_12346_900001_t1.sym", "ada 1\n"},
                               {"ada_12346_900002_t2.sym", "ada 2\n"},
                               {"brook_LATE_12347_900003_t1.sym", "brook 1\n"},
                               {"brook_12347_text.html", "<p>hi</p>"}}));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_EQ(siteNames()[read.plan.listing.site]->name, "canvas");
    ASSERT_EQ(read.plan.students.size(), 2u);
    EXPECT_EQ(read.plan.students[0].lmsId, "12346");
    EXPECT_EQ(read.plan.students[1].lmsId, "12347");
    EXPECT_EQ(read.files[0][1].bytes, "ada 2\n");
    EXPECT_EQ(read.files[1][0].bytes, "brook 1\n");
    EXPECT_EQ(read.plan.choices[1][1].state, FileState::missing);

    // Told the layout, a download is read as told, even where it reads as
    // another.
    read = readAll(zipOf({{"ada_12346_900001_t1.sym", "ada 1\n"}}), threeTests, LayoutChoice{siteNames(), true, 0});
    EXPECT_EQ(siteNames()[read.plan.listing.site]->name, "folders");
    EXPECT_TRUE(read.plan.students.empty());
}

TEST(DownloadArchive, TheSecondPassFindsWhatTheFirstCouldNotKeep)
{
    // More than the first pass keeps: some files are read again, by their
    // place in the archive, and must land with their own students; the
    // last student's third file lies in an upload that is read again too
    // (bytes that do not compress, so that it is too large to keep).
    constexpr std::size_t fileSize = 1 << 20;
    std::vector<std::string> wanted;
    Files files;
    for (char who : std::string("abcdefgh"))
        for (int t = 1; t <= 3; ++t) {
            wanted.push_back(std::string(fileSize, who) + std::to_string(t));
            files.emplace_back(std::string(1, who) + "/t" + std::to_string(t) + ".sym", wanted.back());
        }
    std::string noise(fileSize, '\0');
    std::uint32_t state = 1;
    for (char& byte : noise) {
        state = state * 1103515245 + 12345;
        byte = static_cast<char>(state >> 24);
    }
    wanted.back() = noise;
    files.back() = {"h/lab.zip", zipOf({{"lab/t3.sym", noise}})};
    // tar as `tar -C class -cf class.tar .` writes it, every path from "./".
    std::vector<TarEntry> dotted{{"./", "", "", false}};
    for (const auto& [path, bytes] : files)
        dotted.push_back(TarEntry{"./" + path, bytes, "", false});

    for (const std::string& download : {zipOf(files), tarOf(dotted)}) {
        Read read = readAll(download);
        ASSERT_TRUE(read.planned) << read.error;
        ASSERT_EQ(read.plan.students.size(), 8u);
        EXPECT_LT(read.plan.keptBytes, files.size() * fileSize) << "the download no longer needs a second pass";
        for (std::size_t s = 0; s < 8; ++s)
            for (std::size_t t = 0; t < 3; ++t) {
                const StudentFile& file = read.files[s][t];
                ASSERT_EQ(file.state, FileState::graded) << files[s * 3 + t].first;
                EXPECT_TRUE(file.bytes == wanted[s * 3 + t]) << files[s * 3 + t].first;
            }
        EXPECT_EQ(read.shown("h", 2), "class.zip/h/lab.zip/lab/t3.sym");
        EXPECT_EQ(read.ready.size(), 8u);
    }
}

TEST(DownloadArchive, FilesPastWhatMayWaitInMemoryWaitInUnnamedFiles)
{
    // ada's five files of 20 MiB are handed over together, once all are
    // read: those past 64 MiB in memory come as files of their own, read
    // from their start, and each gives its memory back when let go.
    constexpr std::size_t fileSize = 20 << 20;
    const std::vector<::Test> fiveTests = testsNamed({"t1.sym", "t2.sym", "t3.sym", "t4.sym", "t5.sym"});
    Files files;
    for (char t = '1'; t <= '5'; ++t)
        files.emplace_back(std::string("ada/t") + t + ".sym", std::string(fileSize, t));
    files.emplace_back("bo/t1.sym", "bo 1\n");
    Read read = readAll(zipOf(files), fiveTests);
    ASSERT_TRUE(read.planned) << read.error;
    std::vector<StudentFile>& ada = read.files[read.student("ada")->sourceIndex];
    std::uint64_t inMemory = 0;
    std::size_t spilled = 0;
    std::shared_ptr<HeldMemory> held;
    for (std::size_t t = 0; t < ada.size(); ++t) {
        StudentFile& file = ada[t];
        ASSERT_EQ(file.state, FileState::graded) << t;
        ASSERT_EQ(file.size, fileSize);
        std::string bytes = file.bytes;
        if (file.inMemory) {
            inMemory += file.size;
            held = file.share.held;
        } else {
            ++spilled;
            ASSERT_EQ(file.graderError, 0);
            EXPECT_EQ(lseek(file.file.fd, 0, SEEK_CUR), 0) << "the grading reads from where the file stands";
            bytes = fileBytes(file.file.fd);
        }
        EXPECT_TRUE(bytes == std::string(fileSize, static_cast<char>('1' + t))) << t;
    }
    EXPECT_LE(inMemory, 64u << 20);
    EXPECT_GE(spilled, 2u);
    EXPECT_EQ(read.bytes("bo", 0), "bo 1\n");
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->bytes, inMemory + 5);
    read.files.clear();
    EXPECT_EQ(held->bytes, 0u);
}

TEST(DownloadArchive, ADownloadThatBreaksOffGradesWhatCameBefore)
{
    std::string tar = tarOf({{"ada/t1.sym", "ada 1\n", "", false},
                             {"bo/t1.sym", "bo 1\n", "", false},
                             {"bo/t2.sym", std::string(4096, 'b'), "", false},
                             {"cy/t1.sym", "cy 1\n", "", false}});
    // Cut in the middle of bo's second file: cy is lost, and bo's files
    // that are not there may lie past the break.
    std::size_t cut = tar.find(std::string(4096, 'b')) + 1000;
    Read read = readAll(tar.substr(0, cut));
    ASSERT_TRUE(read.planned) << read.error;
    EXPECT_TRUE(read.plan.broken);
    ASSERT_FALSE(read.plan.warnings.empty());
    EXPECT_EQ(read.names(), (Names{"ada", "bo"}));
    EXPECT_EQ(read.bytes("ada", 0), "ada 1\n");
    EXPECT_EQ(read.state("ada", 1), FileState::missing) << "ada's files all came before the break";
    EXPECT_EQ(read.bytes("bo", 0), "bo 1\n");
    EXPECT_EQ(read.bytes("bo", 1), "<could not read>");
    EXPECT_EQ(read.state("bo", 2), FileState::unreadable);
}

TEST(DownloadArchive, RefusesWhatIsNoArchive)
{
    Read read = readAll("0000 START\n0003 INIT\n");
    EXPECT_FALSE(read.planned);
    EXPECT_EQ(read.error, "it is neither a folder nor a zip or tar archive");
    read = readAll("");
    EXPECT_FALSE(read.planned);
}
