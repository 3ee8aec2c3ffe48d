#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "engine/IniFile.h"

namespace fs = std::filesystem;
using testing::ThrowsMessage;
using testing::Value;
using zelk::IniFile;
using zelktest::Entries;
using zelktest::ReadFile;
using zelktest::RunInChild;
using zelktest::TemporaryDirectory;
using zelktest::WriteFile;

namespace {

IniFile Parsed(std::string_view text) {
    IniFile ini;
    ini.Parse(text);
    return ini;
}

// What one fsync made durable: the file it was made on, what that file held, and what the file
// being saved held at that moment.
struct Sync {
    std::string path;
    std::string contents;
    std::string target;
};
std::vector<Sync>* syncLog = nullptr;
std::string syncTarget;

// While set, every read of this file first appends to it, as a writer racing the load would.
std::string growingFile;
int growth = 0;

}  // namespace

extern "C" ssize_t read(int descriptor, void* buffer, size_t size) {
    if (!growingFile.empty() && growth < 1000) {
        std::error_code error;
        if (fs::read_symlink("/proc/self/fd/" + std::to_string(descriptor), error) == growingFile) {
            ++growth;
            std::ofstream(growingFile, std::ios::binary | std::ios::app)
                << std::string(8192, 'v') << "\r\nK=";
        }
    }
    return static_cast<ssize_t>(syscall(SYS_read, descriptor, buffer, size));
}

// Every fsync of this test program passes through here on its way to the system, so that a test
// can see what a save makes durable and when.
extern "C" int fsync(int descriptor) {
    if (syncLog != nullptr) {
        std::error_code error;
        // Read through the descriptor: a file made without a name shows none until it gets one.
        const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
        const fs::path path = fs::read_symlink(self, error);
        syncLog->push_back({path.string(), fs::is_regular_file(self, error) ? ReadFile(self) : "",
                            ReadFile(syncTarget)});
    }
    return static_cast<int>(syscall(SYS_fsync, descriptor));
}

TEST(IniFileRead, SectionAndKeyNamesIgnoreAsciiCase) {
    const IniFile ini = Parsed("[Neuron Network]\r\nNetwork=2-3-1\r\n");
    EXPECT_TRUE(ini.HasSection("NEURON NETWORK"));
    EXPECT_TRUE(ini.HasSection("neuron network"));
    EXPECT_EQ(ini.Find("NEURON NETWORK", "NETWORK"), "2-3-1");
    EXPECT_EQ(ini.Find("neuron network", "network"), "2-3-1");
    EXPECT_FALSE(ini.HasSection("NEURON"));
    // Only ASCII letters fold: a UTF-8 name matches itself alone.
    const IniFile czech = Parsed("[Síť]\r\nČíslo=1\r\n");
    EXPECT_EQ(czech.Find("Síť", "Číslo"), "1");
    EXPECT_EQ(czech.Find("SÍŤ", "Číslo"), std::nullopt);
}

TEST(IniFileRead, NamesAndValuesWithoutBlanksAroundThem) {
    const IniFile ini = Parsed(" [  NEURON NETWORK \t]  \r\n  Name \t=  a b\t \r\nType=\r\n");
    EXPECT_EQ(ini.Find("NEURON NETWORK", "Name"), "a b");
    EXPECT_EQ(ini.Find(" NEURON NETWORK ", " Name "), "a b");
    EXPECT_EQ(ini.Find("NEURON NETWORK", "Type"), "");
    // Code 160 is no blank: bytes above 127 are never trimmed.
    EXPECT_EQ(Parsed("[S]\nk=\xA0x\xA0\n").Find("S", "k"), "\xA0x\xA0");
}

TEST(IniFileRead, CrLfLfAndLoneCrLineEndsReadTheSame) {
    const IniFile crlf = Parsed("[S]\r\na=1\r\nb=2\r\n");
    const IniFile lf = Parsed("[S]\na=1\nb=2\n");
    const IniFile cr = Parsed("[S]\ra=1\rb=2\r");
    const IniFile noEnd = Parsed("[S]\na=1\r\nb=2");
    const IniFile mixed = Parsed("[S]\ra=1\nb=2\r\n");
    for (const IniFile* ini : {&crlf, &lf, &cr, &noEnd, &mixed}) {
        EXPECT_EQ(ini->Find("S", "a"), "1");
        EXPECT_EQ(ini->Find("S", "b"), "2");
        EXPECT_EQ(ini->Compose(), crlf.Compose());
    }
    // LF CR is two line ends with an empty line between them.
    EXPECT_EQ(Parsed("[S]\n\ra=1").Compose(), "[S]\r\n\r\na=1\r\n");
}

TEST(IniFileRead, LongValueComesBackWhole) {
    std::string value;
    for (int i = 0; i < 1000; ++i) {
        value += std::to_string(i) + ",";
    }
    ASSERT_GT(value.size(), 2047u);
    const IniFile ini = Parsed("[S]\r\nlong=" + value + "\r\n");
    EXPECT_EQ(ini.Find("S", "long"), value);
}

TEST(IniFileRead, MissingSectionOrKeyGivesDefault) {
    const IniFile ini = Parsed("[S]\r\nk=v\r\n");
    EXPECT_EQ(ini.Find("T", "k"), std::nullopt);
    EXPECT_EQ(ini.Find("S", "x"), std::nullopt);
    EXPECT_EQ(ini.Read("S", "x", "default"), "default");
    EXPECT_EQ(ini.Read("T", "k", ""), "");
    EXPECT_EQ(ini.Read("S", "k", "default"), "v");
    EXPECT_FALSE(IniFile().HasSection("S"));
    EXPECT_EQ(IniFile().Compose(), "");
}

TEST(IniFileRead, OddLinesAreKeptButNotKeys) {
    const IniFile ini = Parsed(
        "Name=before any section\r\n"
        "[S]\r\n"
        ";Name=comment\r\n"
        "  ; Type=indented comment\r\n"
        "Network\r\n"
        "[T=x\r\n"
        "\r\n"
        "Name=first\r\n"
        "name=second\r\n");
    EXPECT_EQ(ini.Find("S", "Name"), "first");
    EXPECT_EQ(ini.Find("S", "Type"), std::nullopt);
    EXPECT_EQ(ini.Find("S", "Network"), std::nullopt);
    EXPECT_EQ(ini.Find("S", "[T"), std::nullopt);
    EXPECT_FALSE(ini.HasSection("T=x"));
    EXPECT_FALSE(ini.HasSection(""));
}

TEST(IniFileRead, RepeatedSectionIsOneSection) {
    const IniFile ini = Parsed("[S]\r\na=1\r\n[T]\r\na=2\r\n[s]\r\na=3\r\nb=4\r\n");
    EXPECT_EQ(ini.Find("S", "a"), "1");
    EXPECT_EQ(ini.Find("S", "b"), "4");
    EXPECT_EQ(ini.Find("T", "a"), "2");
}

TEST(IniFileRead, ByteOrderMarkBeforeFirstHeader) {
    const std::string text = "\xEF\xBB\xBF[S]\r\nk=v\r\n";
    const IniFile ini = Parsed(text);
    EXPECT_EQ(ini.Find("S", "k"), "v");
    EXPECT_EQ(ini.Compose(), text);
}

TEST(IniFileWrite, IntoEmptyFileInWritingOrder) {
    IniFile ini;
    ini.Write("NEURON NETWORK", "Name", "Zelk - test environment;0-0,0-1");
    ini.Write("NEURON NETWORK", "Type", "");
    ini.Write("Other", "x", "1");
    ini.Write("NEURON NETWORK", "Network", "2-1");
    EXPECT_EQ(ini.Compose(),
              "[NEURON NETWORK]\r\n"
              "Name=Zelk - test environment;0-0,0-1\r\n"
              "Type=\r\n"
              "Network=2-1\r\n"
              "[Other]\r\n"
              "x=1\r\n");
    EXPECT_EQ(ini.Find("NEURON NETWORK", "Network"), "2-1");
    EXPECT_EQ(ini.Find("Other", "x"), "1");
}

TEST(IniFileWrite, ExistingKeyReplacedWhereItStands) {
    IniFile ini = Parsed("[S]\nname = old \nOther=1\nNAME=duplicate\n");
    ini.Write("s", "Name", "new value");
    EXPECT_EQ(ini.Compose(), "[S]\r\nname=new value\r\nOther=1\r\nNAME=duplicate\r\n");
    EXPECT_EQ(ini.Find("S", "NAME"), "new value");
}

TEST(IniFileWrite, NewKeyAfterLastNonBlankLineOfItsSection) {
    IniFile ini = Parsed("[A]\r\nx=1\r\n; note\r\n\r\n\r\n[B]\r\ny=2\r\n\r\n[a]\r\nq=0\r\n\r\n");
    ini.Write("A", "z", "3");
    ini.Write("B", "w", "4");
    ini.Write("A", "v", "5");
    ini.Write("C", "u", "6");
    EXPECT_EQ(ini.Compose(),
              "[A]\r\nx=1\r\n; note\r\n\r\n\r\n"
              "[B]\r\ny=2\r\nw=4\r\n\r\n"
              "[a]\r\nq=0\r\nz=3\r\nv=5\r\n\r\n"
              "[C]\r\nu=6\r\n");
    // Every key still finds its own line after the insertions.
    ini.Write("A", "z", "30");
    ini.Write("A", "x", "10");
    ini.Write("B", "y", "20");
    EXPECT_EQ(ini.Compose(),
              "[A]\r\nx=10\r\n; note\r\n\r\n\r\n"
              "[B]\r\ny=20\r\nw=4\r\n\r\n"
              "[a]\r\nq=0\r\nz=30\r\nv=5\r\n\r\n"
              "[C]\r\nu=6\r\n");
    EXPECT_EQ(ini.Find("A", "v"), "5");
    EXPECT_EQ(ini.Find("A", "q"), "0");
}

TEST(IniFileWrite, EveryOtherLineKeptByteForByte) {
    const std::string before =
        "\xEF\xBB\xBF; Síť pro XOR\n"
        "orphan = before any section\n"
        "[Other]\tsection\n"
        "\tkey\t=\tvalue with\ttabs  \n"
        "line without equals sign\n"
        "[NEURON NETWORK]\n"
        "Network=2-3-1\n"
        "Network=second of the same name\n"
        "  ; Network=commented\n"
        "Name=č;ř";
    IniFile ini = Parsed(before);
    ini.Write("NEURON NETWORK", "Network", "2-1");
    EXPECT_EQ(ini.Compose(),
              "\xEF\xBB\xBF; Síť pro XOR\r\n"
              "orphan = before any section\r\n"
              "[Other]\tsection\r\n"
              "\tkey\t=\tvalue with\ttabs  \r\n"
              "line without equals sign\r\n"
              "[NEURON NETWORK]\r\n"
              "Network=2-1\r\n"
              "Network=second of the same name\r\n"
              "  ; Network=commented\r\n"
              "Name=č;ř\r\n");
    EXPECT_EQ(ini.Find("Other", "key"), "value with\ttabs");
}

TEST(IniFileWrite, RefusesTextsThatALineCannotHold) {
    IniFile ini = Parsed("[S]\r\nk=v\r\n");
    EXPECT_THROW(ini.Write("S", "k", "a\nb"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S", "k", "a\rb"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S", "a\nb", "v"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S\r\n[T]", "k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S", "[T]", "v"), std::invalid_argument);
    EXPECT_THROW(ini.Write("S", ";k", "v"), std::invalid_argument);
    EXPECT_EQ(ini.Compose(), "[S]\r\nk=v\r\n");
    // A value may hold "=", "[", ";" and any byte but a line end.
    ini.Write("S", "k", std::string("=[x];\t\0\xC4\x8D", 8));
    EXPECT_EQ(ini.Find("S", "k"), std::string("=[x];\t\0\xC4\x8D", 8));
}

TEST(IniFileLoad, ReadsFileAndTellsMissingFromUnreadable) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "[S]\nk=v\n");
    IniFile ini;
    EXPECT_EQ(ini.Load(file), IniFile::LoadResult::Loaded);
    EXPECT_EQ(ini.Find("S", "k"), "v");

    EXPECT_EQ(ini.Load(directory.Path().string()), IniFile::LoadResult::Unreadable);
    EXPECT_EQ(ini.Find("S", "k"), "v");

    EXPECT_EQ(ini.Load(directory.File("none.ini")), IniFile::LoadResult::Missing);
    EXPECT_FALSE(ini.HasSection("S"));
    EXPECT_EQ(ini.Load(file + "/net.ini"), IniFile::LoadResult::Missing);
    EXPECT_EQ(ini.Load(""), IniFile::LoadResult::Missing);
}

TEST(IniFileLoad, ReadsOnlyWhatTheFileHeldWhenItWasOpened) {
    TemporaryDirectory directory;
    const std::string file = directory.File("grow.ini");
    std::string text = "[S]\r\n";
    for (int i = 0; i < 20000; ++i) {
        text += 'K';
        text += std::to_string(i);
        text += "=vvvv\r\n";
    }
    WriteFile(file, text);
    IniFile ini;
    growth = 0;
    growingFile = fs::canonical(file).string();
    const IniFile::LoadResult result = ini.Load(file);
    growingFile.clear();
    EXPECT_EQ(result, IniFile::LoadResult::Loaded);
    EXPECT_GT(growth, 0) << "the file grew while it was read";
    EXPECT_EQ(ini.Compose(), text);
}

TEST(IniFileLoad, FileOverOneGibibyteIsRefusedUnread) {
    TemporaryDirectory directory;
    const std::string file = directory.File("large.ini");
    WriteFile(file, "[S]\r\nk=v\r\n");
    // Sparse: the size costs no disk.
    fs::resize_file(file, IniFile::kLargestFile + 1);
    IniFile ini = Parsed("[T]\r\nx=1\r\n");
    EXPECT_EQ(ini.Load(file), IniFile::LoadResult::TooLarge);
    EXPECT_EQ(ini.Compose(), "[T]\r\nx=1\r\n");
}

TEST(IniFileSave, CreatesFileWithCrLfAndLeavesNoTemporaryFile) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    IniFile ini = Parsed("[S]\nk=v");
    ini.Save(file);
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=v\r\n");
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"net.ini"});

    ini.Write("S", "k", "w");
    ini.Save(file);
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=w\r\n");
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"net.ini"});
}

// A crash right after a save leaves the old file or the new one, never an empty one: the new text
// is on the disk before it takes the name, and the directory entry after.
TEST(IniFileSave, SyncsTheNewTextBeforeTheRenameAndTheDirectoryAfter) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "[S]\r\nk=old\r\n");
    std::vector<Sync> log;
    syncTarget = file;
    syncLog = &log;
    Parsed("[S]\r\nk=new\r\n").Save(file);
    syncLog = nullptr;

    const fs::path folder = fs::canonical(directory.Path());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(fs::path(log[0].path).parent_path(), folder);
    EXPECT_NE(fs::path(log[0].path).filename(), "net.ini");
    EXPECT_EQ(log[0].contents, "[S]\r\nk=new\r\n");
    EXPECT_EQ(log[0].target, "[S]\r\nk=old\r\n");
    EXPECT_EQ(log[1].path, folder.string());
    EXPECT_EQ(log[1].target, "[S]\r\nk=new\r\n");
}

// In place, the file changes only once the whole new text is on the disk beside it.
TEST(IniFileSave, InPlaceSyncsTheWholeNewTextBeforeTheFileChanges) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "[S]\r\nk=old\r\n");
    fs::create_hard_link(file, directory.File("other.ini"));
    std::vector<Sync> log;
    syncTarget = file;
    syncLog = &log;
    Parsed("[S]\r\nk=new\r\n").Save(file);
    syncLog = nullptr;

    const fs::path folder = fs::canonical(directory.Path());
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(fs::path(log[0].path).parent_path(), folder);
    EXPECT_EQ(log[0].contents, "[S]\r\nk=new\r\n");
    EXPECT_EQ(log[0].target, "[S]\r\nk=old\r\n");
    EXPECT_EQ(log[1].path, folder.string());
    EXPECT_EQ(log[1].target, "[S]\r\nk=old\r\n");
    EXPECT_EQ(log[2].path, (folder / "net.ini").string());
    EXPECT_EQ(log[2].contents, "[S]\r\nk=new\r\n");
    EXPECT_EQ(Entries(directory.Path()), (std::set<std::string>{"net.ini", "other.ini"}));
}

TEST(IniFileSave, KeepsPermissionsOfTheOldFile) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old\r\n");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file, mode, fs::perm_options::replace);
    Parsed("[S]\r\nk=v\r\n").Save(file);
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=v\r\n");
    EXPECT_EQ(fs::status(file).permissions(), mode);
}

TEST(IniFileSave, WritesThroughSymbolicLink) {
    TemporaryDirectory directory;
    const std::string target = directory.File("real.ini");
    const std::string link = directory.File("link.ini");
    WriteFile(target, "old\r\n");
    fs::create_symlink("real.ini", link);
    Parsed("[S]\r\nk=v\r\n").Save(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(target), "[S]\r\nk=v\r\n");
    EXPECT_EQ(Entries(directory.Path()), (std::set<std::string>{"link.ini", "real.ini"}));
}

TEST(IniFileSave, UnwritablePathsAreRefusedAndNothingChanges) {
    TemporaryDirectory directory;
    const std::string plain = directory.File("plain.txt");
    WriteFile(plain, "not a directory");
    const IniFile ini = Parsed("[S]\r\nk=v\r\n");
    // Paths that nobody can write, not even root.
    for (const std::string& file : {directory.File("missing/net.ini"), plain + "/net.ini",
                                    directory.Path().string(), std::string()}) {
        EXPECT_THAT([&] { ini.Save(file); },
                    ThrowsMessage<std::runtime_error>("Unable to write to " + file));
    }
    EXPECT_EQ(ReadFile(plain), "not a directory");
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"plain.txt"});
}

TEST(IniFileSave, FailedWriteKeepsOldFileAndRemovesTemporaryFile) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    const std::string old = "[S]\r\nk=old\r\n";
    WriteFile(file, old);
    const IniFile ini = Parsed("[S]\r\nk=" + std::string(100000, 'x') + "\r\n");
    // A file size limit makes the write itself fail, for root as for anyone.
    const int code = RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        return Value([&] { ini.Save(file); },
                     ThrowsMessage<std::runtime_error>("Unable to write to " + file))
                   ? 0
                   : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(file), old);
    EXPECT_EQ(Entries(directory.Path()), std::set<std::string>{"net.ini"});
}
