// Which files of REFERENCES are tests: a README beside them is none, and a
// tie is broken by what names a test, never by a guess; and REFERENCES and
// SUBMISSIONS given the wrong way round are told from a class that merely
// has none.
#include "class/intake/references.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// A scratch folder, gone with the test.
struct Scratch {
    std::string top;
    Scratch()
    {
        char path[] = "/tmp/labelgrade-references-XXXXXX";
        if (mkdtemp(path) == nullptr)
            std::abort();
        top = path;
    }
    ~Scratch() { std::system(("rm -rf '" + top + "'").c_str()); }

    std::string folder(const std::string& name, const std::vector<std::string>& files) const
    {
        std::string path = top + "/" + name;
        mkdir(path.c_str(), 0777);
        for (const std::string& file : files)
            if (file.ends_with("/"))
                mkdir((path + "/" + file).c_str(), 0777);
            else
                std::ofstream(path + "/" + file) << "0000 A\n";
        return path;
    }
};

struct Loaded {
    std::vector<std::string> tests;
    std::vector<std::string> notTests;
};

Loaded load(const std::vector<std::string>& files)
{
    Scratch scratch;
    ReferenceFolder folder;
    std::string error;
    EXPECT_TRUE(loadTests(scratch.folder("references", files), folder, error)) << error;
    Loaded loaded;
    for (const Test& test : folder.tests)
        loaded.tests.push_back(test.name);
    loaded.notTests = folder.notTests;
    return loaded;
}

using Names = std::vector<std::string>;

std::vector<::Test> testsNamed(const Names& names)
{
    std::vector<::Test> tests;
    for (const std::string& name : names) {
        ::Test test;
        test.name = name;
        tests.push_back(std::move(test));
    }
    return tests;
}

}  // namespace

TEST(References, TheExtensionMostFilesHaveMakesTheTests)
{
    Loaded readme = load({"t1.sym", "t2.sym", "README.md", "notes.txt", "T3.SYM"});
    EXPECT_EQ(readme.tests, (Names{"t1.sym", "t2.sym", "T3.SYM"}));
    EXPECT_EQ(readme.notTests, (Names{"README.md", "notes.txt"}));
    // One test and one README: the name with a test's number is the test.
    Loaded one = load({"README.md", "lab1.sym"});
    EXPECT_EQ(one.tests, (Names{"lab1.sym"}));
    EXPECT_EQ(one.notTests, (Names{"README.md"}));
    // Names without an extension are tests of their own kind, and a dot
    // that starts a name is no extension.
    Loaded bare = load({"1", "2", "3", "README.md"});
    EXPECT_EQ(bare.tests, (Names{"1", "2", "3"}));
    EXPECT_EQ(bare.notTests, (Names{"README.md"}));
    EXPECT_EQ(extensionOf("t1.SYM"), "sym");
    EXPECT_EQ(extensionOf("Makefile"), "");
    EXPECT_EQ(extensionOf(".sym"), "");
}

TEST(References, ATieThatNamesCannotBreakKeepsEveryTiedFile)
{
    Loaded tie = load({"t1.sym", "t1.asm"});
    EXPECT_EQ(tie.tests, (Names{"t1.asm", "t1.sym"}));
    EXPECT_TRUE(tie.notTests.empty());
    EXPECT_EQ(testExtensionWords(testsNamed({"t1.sym", "t2", "T3.ASM"})),
              "the tests' names end in no extension, .asm or .sym");
    EXPECT_EQ(testExtensionWords(testsNamed({"1", "2"})), "the tests' names have no extension");
    Loaded alone = load({"answers.sym"});
    EXPECT_EQ(alone.tests, (Names{"answers.sym"}));
}

TEST(References, FoldersGivenTheWrongWayRoundAreTold)
{
    Scratch scratch;
    std::string students = scratch.folder("students", {"ann/", "bob/"});
    std::string references = scratch.folder("references", {"t1.sym", "t2.sym"});
    EXPECT_EQ(swappedFolders(students, references, true),
              "REFERENCES holds folders (ann, bob) and no file, as SUBMISSIONS should, and SUBMISSIONS holds files "
              "(t1.sym, t2.sym), as REFERENCES should");
    std::string download = scratch.folder("download", {"class.zip"}) + "/class.zip";
    EXPECT_EQ(swappedFolders(download, references, true),
              "REFERENCES is a file, as a site's download is, and SUBMISSIONS holds files (t1.sym, t2.sym), as "
              "REFERENCES should");
    // The right way round, or a class that merely lacks something, is not.
    EXPECT_EQ(swappedFolders(references, students, true), "");
    EXPECT_EQ(swappedFolders(scratch.folder("empty", {}), references, true), "");
    EXPECT_EQ(swappedFolders(students, scratch.folder("more", {"ann/"}), true), "");
    EXPECT_EQ(swappedFolders(scratch.top + "/nowhere", references, true), "");
    // A student's folder name is theirs: it reaches no terminal raw.
    std::string hostile = scratch.folder("hostile", {"\x1b]0;owned\x07ann/"});
    std::string told = swappedFolders(hostile, references, true);
    EXPECT_NE(told, "");
    EXPECT_EQ(told.find('\x1b'), std::string::npos);
}
