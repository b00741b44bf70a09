#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_io.h"
#include "store/errors.h"
#include "store/settings_file.h"
#include "store/task_record.h"
#include "support/scratch_dir.h"

namespace kestrune {
namespace {

using test::readFile;
using test::writeFile;

class SettingsFileTest : public test::ScratchTest {
  protected:
    std::string path() const { return scratch.file("Setting.cfg"); }
    SettingsFile settings{scratch.file("Setting.cfg")};
};

TEST_F(SettingsFileTest, WorkedExampleProducesTheExactFile) {
    settings.writeString("Desktop Tidy", "s_folder", "C:\\Data");
    settings.writeString("Desktop Tidy", "t_folder", "D:\\");
    settings.writeInteger("Desktop Tidy", "sublevel", 1);
    settings.writeInteger("Desktop Tidy", "actions", 1);
    settings.writeString("Desktop Tidy", "filters", "*.txt;*.doc");
    settings.writeInteger("Settings", "frmx", 230);
    settings.writeInteger("Settings", "frmy", 171);
    EXPECT_EQ(readFile(path()),
              "[Desktop Tidy]\ns_folder=C:\\Data\nt_folder=D:\\\nsublevel=1\nactions=1\n"
              "filters=*.txt;*.doc\n[Settings]\nfrmx=230\nfrmy=171\n");
}

TEST_F(SettingsFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(settings.readString("Settings", "frmx", "none"), "none");
    EXPECT_EQ(settings.readInteger("Settings", "frmx", 230), 230);
    EXPECT_FALSE(settings.sectionExists("Settings"));
    writeFile(path(), "[Settings]\nfrmx=12\n");
    EXPECT_EQ(settings.readInteger("Settings", "frmy", 171), 171);
    EXPECT_EQ(settings.readInteger("Other", "frmx", 5), 5);
}

TEST_F(SettingsFileTest, ReadingMatchesNamesWithoutCaseAndDropsBlanksAndQuotes) {
    writeFile(path(),
              "; comment line\n  [ My Task ]  \n  S_Folder =  C:\\In  \nt_folder=\" D:\\Out \"\n"
              "filters='*.txt'\nodd line without equals\nsublevel= \" 5\"\n");
    EXPECT_EQ(settings.readString("my task", "s_folder", ""), "C:\\In");
    EXPECT_EQ(settings.readString("MY TASK", "T_FOLDER", ""), " D:\\Out ");
    EXPECT_EQ(settings.readString("My Task", "filters", ""), "*.txt");
    EXPECT_EQ(settings.readInteger("My Task", "sublevel", 0), 5);
}

TEST_F(SettingsFileTest, ReadsCrLfFilesAndKeepsTheirLineEnd) {
    writeFile(path(), "[A]\r\nk=1\r\n[B]\r\nj=2\r\n");
    EXPECT_EQ(settings.readInteger("A", "k", 0), 1);
    settings.writeString("a", "new", "x");
    settings.writeString("C", "z", "y");
    settings.writeString("B", "J", "3");
    EXPECT_EQ(readFile(path()), "[A]\r\nk=1\r\nnew=x\r\n[B]\r\nJ=3\r\n[C]\r\nz=y\r\n");
}

TEST_F(SettingsFileTest, WritingKeepsForeignLinesAndAddsKeysAtTheEndOfTheirSection) {
    writeFile(path(), "# kept\n[A]\nk=1\n; note\n\n[B]\nj=2");
    settings.writeString("A", "k", "9");
    settings.writeString("A", "m", "new");
    settings.writeString("B", "n", "last");
    EXPECT_EQ(readFile(path()), "# kept\n[A]\nk=9\n; note\nm=new\n\n[B]\nj=2\nn=last\n");
}

TEST_F(SettingsFileTest, ValuesReadBackExactlyAsWrittenAndWhole) {
    const std::string longValue(3000, 'p');
    const std::string values[] = {" lead", "trail ", "\"quoted\"", "'single'",
                                  "",      "a=b",    longValue};
    for (const auto& value : values) {
        settings.writeString("T", "v", value);
        EXPECT_EQ(settings.readString("T", "v", "default"), value);
    }
}

TEST_F(SettingsFileTest, RefusesWritesThatWouldBreakTheFileStructure) {
    settings.writeString("T", "v", "1");
    const std::string before = readFile(path());
    EXPECT_THROW(settings.writeString("T", "v", "x\n[Settings]"), SettingsWriteError);
    EXPECT_THROW(settings.writeString("T\r\n", "v", "x"), SettingsWriteError);
    EXPECT_THROW(settings.writeString("T", "a=b", "x"), SettingsWriteError);
    EXPECT_THROW(settings.writeString("T", "; note", "x"), SettingsWriteError);
    EXPECT_THROW(settings.writeString("", "v", "x"), SettingsWriteError);
    EXPECT_EQ(readFile(path()), before);
}

TEST_F(SettingsFileTest, SectionExistsOnlyWithAKey) {
    writeFile(path(), "[Empty]\n; just a note\n[Full]\nk=\n");
    EXPECT_FALSE(settings.sectionExists("Empty"));
    EXPECT_TRUE(settings.sectionExists("full"));
    EXPECT_FALSE(settings.sectionExists("Missing"));
}

// Hand-edited files may repeat a section, in either letter case. Only the first of a name is
// read, tested and written; a later one is neither read nor changed.
TEST_F(SettingsFileTest, OnlyTheFirstSectionOfANameCounts) {
    struct Case {
        const char* file;
        const char* read;  // T's key "a", or "-" when absent
        bool exists;
        const char* afterWrite;  // the file after T's "b" is set to 9
    };
    const Case cases[] = {
        {"[T]\na=1\n[t]\na=2\nb=3\n", "1", true, "[T]\na=1\nb=9\n[t]\na=2\nb=3\n"},
        {"[t]\n\n[T]\na=2\nb=3\n", "-", false, "[t]\nb=9\n\n[T]\na=2\nb=3\n"},
        {"[T]\n; note\n[T]\na=2\n", "-", false, "[T]\n; note\nb=9\n[T]\na=2\n"},
        {"[T]\nb=1\nb=2\na=0\n[T]\nb=5\n", "0", true, "[T]\nb=9\nb=2\na=0\n[T]\nb=5\n"},
    };
    for (const Case& c : cases) {
        writeFile(path(), c.file);
        EXPECT_EQ(settings.readString("T", "a", "-"), c.read) << c.file;
        EXPECT_EQ(settings.sectionExists("t"), c.exists) << c.file;
        EXPECT_EQ(readTaskRecord(settings, "T").has_value(), c.exists) << c.file;
        settings.writeInteger("T", "b", 9);
        EXPECT_EQ(readFile(path()), c.afterWrite) << c.file;
    }
}

// Lines edited by hand, read as the platform's profile functions read them: a name without "="
// is a key without a value (absent, yet the first of its name), "=value" a key with an empty
// name, and a ";" line a comment. A write and a copy keep each line's meaning.
TEST_F(SettingsFileTest, HandEditedKeyLinesReadAsThePlatformReadsThem) {
    struct Case {
        const char* file;
        bool exists;
        const char* afterWrite;  // the file after T's "s_folder" is set to /x
        const char* copy;        // what copying T to U adds at the end
    };
    const Case cases[] = {
        {"[T]\ns_folder\nS_FOLDER=/a b\nactions=2\n", true,
         "[T]\ns_folder=/x\nS_FOLDER=/a b\nactions=2\n", "[U]\ns_folder\nactions=2\n"},
        {"[T]\r\n  S_Folder  \r\ns_folder=/a\r\n", true, "[T]\r\ns_folder=/x\r\ns_folder=/a\r\n",
         "[U]\r\nS_Folder\r\n"},
        {"[T]\n=novalue\n", true, "[T]\n=novalue\ns_folder=/x\n", "[U]\n=novalue\n"},
        {"[T]\nnotes\n\n[V]\nk=1\n", true, "[T]\nnotes\ns_folder=/x\n\n[V]\nk=1\n", "[U]\nnotes\n"},
        {"[T]\n; s_folder=/c\n", false, "[T]\n; s_folder=/c\ns_folder=/x\n", ""},
    };
    for (const Case& c : cases) {
        writeFile(path(), c.file);
        EXPECT_EQ(settings.readString("T", "s_folder", "-"), "-") << c.file;
        EXPECT_EQ(settings.sectionExists("T"), c.exists) << c.file;
        EXPECT_EQ(settings.snapshot().sectionsWithKeys().contains("t"), c.exists) << c.file;
        EXPECT_EQ(readTaskRecord(settings, "T").has_value(), c.exists) << c.file;
        settings.writeString("T", "s_folder", "/x");
        EXPECT_EQ(readFile(path()), c.afterWrite) << c.file;
        EXPECT_EQ(settings.readString("T", "s_folder", "-"), "/x") << c.file;

        writeFile(path(), c.file);
        settings.apply(SettingsEdit().copySection("T", "U"));
        EXPECT_EQ(readFile(path()), std::string(c.file) + c.copy) << c.file;
        EXPECT_EQ(settings.sectionExists("U"), c.exists) << c.file;
        EXPECT_EQ(settings.readString("U", "s_folder", "-"), "-") << c.file;
    }
}

// Counts what reaches the disk, to tell one replace from several.
class CountingDisk : public FileIo {
  public:
    FileContent read(const std::string& path) const override {
        ++reads;
        return systemFileIo().read(path);
    }
    std::string replace(const std::string& path, std::string_view content) const override {
        ++replaces;
        return systemFileIo().replace(path, content);
    }
    mutable int reads = 0;
    mutable int replaces = 0;
};

TEST_F(SettingsFileTest, AnEditIsOneReplaceOrNoneAndARecordOneReading) {
    writeFile(path(), "[Old]\nk=1\n[T]\ns_folder=/old\nactions=3\n");
    const CountingDisk disk;
    SettingsFile counted(path(), disk);
    counted.apply(SettingsEdit()
                      .writeString("T", keys::kSourceFolder, "/new")
                      .writeString("T", keys::kFilters, "*.*")
                      .writeInteger("T", keys::kAction, 2)
                      .eraseSection("old"));
    EXPECT_EQ(disk.replaces, 1);
    const std::string written = "[T]\ns_folder=/new\nactions=2\nfilters=*.*\n";
    EXPECT_EQ(readFile(path()), written);

    // One change that cannot be stored stops the whole edit before the file is touched.
    EXPECT_THROW(counted.apply(SettingsEdit()
                                   .writeString("T", keys::kSourceFolder, "/other")
                                   .writeString("T", keys::kFilters, "two\nlines")),
                 SettingsWriteError);
    EXPECT_EQ(disk.replaces, 1);
    EXPECT_EQ(readFile(path()), written);

    disk.reads = 0;
    const auto record = readTaskRecord(counted, "t");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(disk.reads, 1);
    EXPECT_EQ(record->sourceFolder, "/new");
    EXPECT_EQ(record->action, 2);
    EXPECT_EQ(record->filters, "*.*");
}

TEST_F(SettingsFileTest, EraseRemovesEverySectionOfThatNameAndNothingElse) {
    writeFile(path(), "[A]\nk=1\n[b]\nj=2\n[B]\ni=3\n");
    settings.eraseSection("B");
    EXPECT_EQ(readFile(path()), "[A]\nk=1\n");
}

TEST_F(SettingsFileTest, EraseOfAMissingSectionIsNoFailureAndWritesNothing) {
    settings.eraseSection("Nothing");
    EXPECT_FALSE(std::filesystem::exists(path()));
    writeFile(path(), "[A]\r\nk=1");
    settings.eraseSection("Nothing");
    EXPECT_EQ(readFile(path()), "[A]\r\nk=1");
}

TEST_F(SettingsFileTest, IntegerAndBooleanReadsFollowTheIntegerRule) {
    writeFile(path(), "[T]\na=0x3\nb=3a\nc=$10\nd=yes\ne=\nf=-1\ng=0\n");
    EXPECT_EQ(settings.readInteger("T", "a", 9), 3);
    EXPECT_EQ(settings.readInteger("T", "b", 9), 9);
    EXPECT_TRUE(settings.readBool("T", "c", false));
    EXPECT_FALSE(settings.readBool("T", "d", false));
    EXPECT_TRUE(settings.readBool("T", "d", true));
    EXPECT_FALSE(settings.readBool("T", "e", false));
    EXPECT_TRUE(settings.readBool("T", "f", false));
    EXPECT_FALSE(settings.readBool("T", "g", true));
    settings.writeInteger("T", "n", -17);
    EXPECT_EQ(settings.readString("T", "n", ""), "-17");
}

TEST_F(SettingsFileTest, AFolderAtTheFilesPathMakesWritesFailWithThePath) {
    std::filesystem::create_directory(path());
    try {
        settings.writeString("T", "v", "x");
        FAIL() << "the write should have failed";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + path());
    }
    EXPECT_TRUE(std::filesystem::is_directory(path()));
}

TEST_F(SettingsFileTest, AMissingFolderIsMadeAndAFileInItsWayMakesWritesFail) {
    SettingsFile fresh(scratch.file("made/on/write/Setting.cfg"));
    fresh.writeInteger("Settings", "frmx", 1);
    EXPECT_EQ(readFile(fresh.path()), "[Settings]\nfrmx=1\n");
    writeFile(scratch.file("file"), "");
    SettingsFile blocked(scratch.file("file/below/Setting.cfg"));
    EXPECT_THROW(blocked.writeInteger("Settings", "frmx", 1), SettingsWriteError);
}

// A disk that holds the file but cannot take a new one.
class FullDisk : public FileIo {
  public:
    FileContent read(const std::string& path) const override { return systemFileIo().read(path); }
    std::string replace(const std::string&, std::string_view) const override {
        return "No space left on device";
    }
};

TEST_F(SettingsFileTest, AFailedReplaceLeavesTheOldFileAndRaises) {
    writeFile(path(), "[T]\nv=old\n");
    const FullDisk disk;
    SettingsFile onFullDisk(path(), disk);
    EXPECT_THROW(onFullDisk.writeString("T", "v", "new"), SettingsWriteError);
    EXPECT_THROW(onFullDisk.eraseSection("T"), SettingsWriteError);
    EXPECT_EQ(readFile(path()), "[T]\nv=old\n");
}

// A file that is there but cannot be read must not be replaced by one holding a single key.
class UnreadableDisk : public FileIo {
  public:
    FileContent read(const std::string&) const override {
        return {FileContent::Status::Failed, "", "Input/output error"};
    }
    std::string replace(const std::string& path, std::string_view content) const override {
        return systemFileIo().replace(path, content);
    }
};

TEST_F(SettingsFileTest, AnUnreadableFileIsNeverOverwritten) {
    writeFile(path(), "[T]\nv=precious\n");
    const UnreadableDisk disk;
    SettingsFile unreadable(path(), disk);
    EXPECT_EQ(unreadable.readString("T", "v", "default"), "default");
    EXPECT_THROW(unreadable.writeString("T", "w", "x"), SettingsWriteError);
    EXPECT_EQ(readFile(path()), "[T]\nv=precious\n");
}

}  // namespace
}  // namespace kestrune
