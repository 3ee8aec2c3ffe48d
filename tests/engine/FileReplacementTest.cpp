#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "engine/FileReplacement.h"

namespace fs = std::filesystem;
using zelk::ReplaceFileContents;
using zelktest::Entries;
using zelktest::ReadFile;
using zelktest::RunInChild;
using zelktest::TemporaryDirectory;
using zelktest::WriteFile;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

struct stat StatusOf(const std::string& file) {
    struct stat status = {};
    EXPECT_EQ(stat(file.c_str(), &status), 0) << file;
    return status;
}

// The value of an extended attribute, or "errno <n>" when there is none.
std::string Attribute(const std::string& file, const char* name) {
    char value[256];
    const ssize_t size = getxattr(file.c_str(), name, value, sizeof value);
    return size < 0 ? "errno " + std::to_string(errno)
                    : std::string(value, static_cast<std::size_t>(size));
}

// A POSIX ACL as Linux stores it in its extended attribute: a version, then (tag, rights, id).
struct AclEntry {
    std::uint16_t tag;
    std::uint16_t rights;
    std::uint32_t id;
};
std::string Acl(const std::vector<AclEntry>& entries) {
    std::string value("\x02\0\0\0", 4);
    for (const AclEntry& entry : entries) {
        char bytes[8];
        std::memcpy(bytes, &entry.tag, 2);
        std::memcpy(bytes + 2, &entry.rights, 2);
        std::memcpy(bytes + 4, &entry.id, 4);
        value.append(bytes, 8);
    }
    return value;
}
constexpr std::uint16_t kUserObject = 0x01, kUser = 0x02, kGroupObject = 0x04, kMask = 0x10,
                        kOther = 0x20;
constexpr std::uint32_t kNoId = 0xFFFFFFFF;

// What the new file was like when it was given the old file's owner: its text is whole by then.
struct Handover {
    mode_t mode;
    nlink_t links;
    std::string contents;
};
std::vector<Handover>* handovers = nullptr;

}  // namespace

// Every fchown of this test program passes through here, so that a test can see the new file as
// it is before it gets the old file's owner and mode.
extern "C" int fchown(int descriptor, uid_t owner, gid_t group) {
    if (handovers != nullptr) {
        struct stat status = {};
        fstat(descriptor, &status);
        handovers->push_back({status.st_mode & 07777, status.st_nlink,
                              ReadFile("/proc/self/fd/" + std::to_string(descriptor))});
    }
    return static_cast<int>(syscall(SYS_fchown, descriptor, owner, group));
}

TEST(FileReplacement, NewTextIsForTheSaverAloneAndNamelessUntilItHasTheOwner) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0644), 0);
    // Without a umask a file made with the usual 0666 would be readable by everyone.
    const mode_t umaskBefore = umask(0);
    std::vector<Handover> log;
    handovers = &log;
    ReplaceFileContents(file, "new");
    handovers = nullptr;
    umask(umaskBefore);

    // Where the file system makes files without a name, the text has none before the handover.
    const int unnamed = open(directory.Path().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        close(unnamed);
    }
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].mode, 0600u);
    EXPECT_EQ(log[0].links, unnamed >= 0 ? 0u : 1u);
    EXPECT_EQ(log[0].contents, "new");
    EXPECT_EQ(StatusOf(file).st_mode & 07777, 0644u);
    EXPECT_EQ(ReadFile(file), "new");
}

TEST(FileReplacement, RootKeepsTheOwnerAndGroupOfAnotherUsersFile) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old");
    ASSERT_EQ(chown(file.c_str(), kNobody, kNoGroup), 0);
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    const struct stat before = StatusOf(file);
    ReplaceFileContents(file, "new");
    const struct stat after = StatusOf(file);
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(after.st_uid, kNobody);
    EXPECT_EQ(after.st_gid, kNoGroup);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_NE(after.st_ino, before.st_ino) << "the atomic way, a new file renamed";
}

TEST(FileReplacement, SaverThatMayNotGiveTheOwnerRewritesTheFileInPlace) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "only root can set up a file of another owner in a shared folder";
    }
    TemporaryDirectory directory;
    const fs::path folder = directory.Path() / "shared";
    fs::create_directory(folder);
    ASSERT_EQ(chown(folder.c_str(), kNobody, kNoGroup), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0770), 0);
    const std::string file = (folder / "net.ini").string();
    WriteFile(file, std::string(100000, 'o'));
    ASSERT_EQ(chown(file.c_str(), 0, kNoGroup), 0);
    ASSERT_EQ(chmod(file.c_str(), 0660), 0);
    const struct stat before = StatusOf(file);

    // A member of the file's group, who may write it but not give it to root.
    const int code = RunInChild([&] {
        if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0) {
            return 2;
        }
        try {
            ReplaceFileContents(file, "new");
        } catch (const std::exception&) {
            return 1;
        }
        return 0;
    });
    ASSERT_NE(code, 2) << "cannot give up root";
    EXPECT_EQ(code, 0);
    const struct stat after = StatusOf(file);
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(after.st_gid, kNoGroup);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Entries(folder), std::set<std::string>{"net.ini"});
}

TEST(FileReplacement, HardLinkedFileIsRewrittenInPlace) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    const std::string other = directory.File("other.ini");
    WriteFile(file, "old text, longer than the new one");
    fs::create_hard_link(file, other);
    const struct stat before = StatusOf(file);
    ReplaceFileContents(file, "new");
    EXPECT_EQ(ReadFile(other), "new");
    EXPECT_EQ(StatusOf(file).st_ino, before.st_ino);
    EXPECT_EQ(StatusOf(file).st_nlink, 2u);
    EXPECT_EQ(Entries(directory.Path()), (std::set<std::string>{"net.ini", "other.ini"}));
}

TEST(FileReplacement, KeepsTheAclAndTheExtendedAttributes) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old");
    // nobody may read and write, but the mask lets him only read, as it does the group.
    const std::string acl = Acl({{kUserObject, 6, kNoId},
                                 {kUser, 6, kNobody},
                                 {kGroupObject, 4, kNoId},
                                 {kMask, 4, kNoId},
                                 {kOther, 0, kNoId}});
    if (setxattr(file.c_str(), "user.zelk", "kept", 4, 0) != 0 ||
        setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "the file system takes no ACL or user attribute: " << std::strerror(errno);
    }
    const struct stat before = StatusOf(file);
    ReplaceFileContents(file, "new");
    const struct stat after = StatusOf(file);
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(Attribute(file, "user.zelk"), "kept");
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), acl);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_NE(after.st_ino, before.st_ino) << "the atomic way, a new file renamed";
}

TEST(FileReplacement, DefaultAclOfTheFolderDoesNotReachTheReplacement) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old");
    ASSERT_EQ(chmod(file.c_str(), 0600), 0);
    const std::string inherited = Acl({{kUserObject, 7, kNoId},
                                       {kUser, 7, kNobody},
                                       {kGroupObject, 5, kNoId},
                                       {kMask, 7, kNoId},
                                       {kOther, 0, kNoId}});
    if (setxattr(directory.Path().c_str(), "system.posix_acl_default", inherited.data(),
                 inherited.size(), 0) != 0) {
        GTEST_SKIP() << "the file system takes no ACL: " << std::strerror(errno);
    }
    ReplaceFileContents(file, "new");
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), "errno " + std::to_string(ENODATA));
    EXPECT_EQ(StatusOf(file).st_mode & 07777, 0600u);
}

TEST(FileReplacement, RemovesWhatAKilledSaveLeftButNotWhatARunningSaveHolds) {
    TemporaryDirectory directory;
    const std::string file = directory.File("net.ini");
    WriteFile(file, "old");
    WriteFile(directory.File(".zelk-1-1-1.tmp"), "left by a killed save");
    WriteFile(directory.File("net.ini.zelk-new"), "journal of a crashed save");
    WriteFile(directory.File(".zelk-notes.txt"), "someone else's");
    const std::string held = directory.File(".zelk-2-2-2.tmp");
    WriteFile(held, "being written");
    const int descriptor = open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(flock(descriptor, LOCK_EX), 0);
    ReplaceFileContents(file, "new");
    close(descriptor);
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(Entries(directory.Path()),
              (std::set<std::string>{".zelk-2-2-2.tmp", ".zelk-notes.txt", "net.ini"}));
    EXPECT_EQ(ReadFile(held), "being written");
}
