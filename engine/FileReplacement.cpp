#include "engine/FileReplacement.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#endif

namespace zelk {

std::runtime_error WriteError(const std::string& fileName) {
    return std::runtime_error("Unable to write to " + fileName);
}

namespace {

constexpr std::string_view kTemporaryPrefix = ".zelk-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kLongestWrite = std::size_t{1} << 30;

// A short name of its own: one derived from a long file name could exceed the name limit.
std::string TemporaryName(unsigned long process) {
    static std::atomic<unsigned> counter = 0;
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return std::string(kTemporaryPrefix) + std::to_string(process) + "-" +
           std::to_string(++counter) + "-" + std::to_string(stamp % 1000000007ULL) +
           std::string(kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    return name.size() > kTemporaryPrefix.size() + kTemporarySuffix.size() &&
           name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix);
}

}  // namespace

#if defined(_WIN32)

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty() || utf8.size() > 32767) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int size =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (size <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), size);
    return wide;
}

std::wstring WideAscii(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A file that another save still writes is open without sharing, so it cannot be deleted: only
// what a killed save left goes.
void RemoveLeftovers(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern =
        directory + WideAscii(kTemporaryPrefix) + L"*" + WideAscii(kTemporarySuffix);
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileW((directory + found.cFileName).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool WriteAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const auto chunk = static_cast<DWORD>(std::min(text.size(), kLongestWrite));
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

void ReplaceFileContents(const std::string& fileName, std::string_view text) {
    const std::wstring target = Wide(fileName);
    if (target.empty()) {
        throw WriteError(fileName);
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // A read-only file means "do not change"; the replacement below would not ask.
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY |
                                 FILE_ATTRIBUTE_DEVICE)) != 0) {
        throw WriteError(fileName);
    }
    const std::size_t slash = target.find_last_of(L"\\/:");
    const std::wstring directory = slash == std::wstring::npos ? L"" : target.substr(0, slash + 1);
    RemoveLeftovers(directory);

    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = directory + WideAscii(TemporaryName(GetCurrentProcessId()));
        // No sharing: no one reads the text before it is whole, and no other save deletes it.
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        throw WriteError(fileName);
    }
    bool written = WriteAll(file, text) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (written) {
        // ReplaceFileW keeps the old file's ACL, attributes and creation time.
        written = exists ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                         : MoveFileExW(temporary.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!written) {
        DeleteFileW(temporary.c_str());
        throw WriteError(fileName);
    }
}

#else

namespace {

// A descriptor that is closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return descriptor_; }
    bool Valid() const { return descriptor_ >= 0; }

private:
    int descriptor_;
};

bool WriteAll(int descriptor, std::string_view text) {
    off_t offset = 0;
    while (!text.empty()) {
        const ssize_t count =
            pwrite(descriptor, text.data(), std::min(text.size(), kLongestWrite), offset);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(count));
        offset += count;
    }
    return true;
}

bool ReadAll(int descriptor, std::size_t size, std::string& text) {
    text.assign(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = pread(descriptor, text.data() + done,
                                    std::min(size - done, kLongestWrite), static_cast<off_t>(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool Lock(int descriptor, int operation) {
    int result = 0;
    while ((result = flock(descriptor, operation)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

// Whether the path still names the open file: another save may have removed it as a leftover
// between its creation and the lock.
bool StillNamed(int descriptor, const std::string& path) {
    struct stat opened = {};
    struct stat named = {};
    return fstat(descriptor, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void SyncDirectory(const std::string& directory) {
    const Descriptor folder(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The file is in place either way, so a directory that cannot be synced (some file systems
    // refuse) is no failure of the save.
    if (folder.Valid()) {
        fsync(folder.Get());
    }
}

// Removes the file at the path unless a running save holds it.
void RemoveUnlessHeld(const std::string& path) {
    struct stat status = {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return;
    }
    const Descriptor file(
        open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (file.Valid() && Lock(file.Get(), LOCK_EX | LOCK_NB) && StillNamed(file.Get(), path)) {
        unlink(path.c_str());
    }
}

// What a killed save left: every temporary file of the directory that no save holds locked.
void RemoveLeftovers(const std::string& directory) {
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr) {
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = readdir(folder)) {
        if (IsTemporaryName(entry->d_name)) {
            leftovers.push_back(directory + "/" + entry->d_name);
        }
    }
    closedir(folder);
    for (const std::string& path : leftovers) {
        RemoveUnlessHeld(path);
    }
}

// A new temporary file with a name, locked, so that no other save takes it for a leftover.
Descriptor CreateNamedTemporary(const std::string& directory, mode_t mode, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "/" + TemporaryName(static_cast<unsigned long>(getpid()));
        Descriptor file(
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!file.Valid()) {
            if (errno == EEXIST || errno == EINTR) {
                continue;
            }
            break;
        }
        if (Lock(file.Get(), LOCK_EX) && StillNamed(file.Get(), path)) {
            return file;
        }
    }
    path.clear();
    return Descriptor();
}

// A new temporary file without a name, where the system has them: nothing is left behind
// whatever happens before it gets one. Locked as well, for the time it has a name.
Descriptor CreateUnnamedTemporary([[maybe_unused]] const std::string& directory,
                                  [[maybe_unused]] mode_t mode) {
#if defined(O_TMPFILE)
    Descriptor file(open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file.Valid() && Lock(file.Get(), LOCK_EX)) {
        return file;
    }
#endif
    return Descriptor();
}

// Gives an unnamed temporary file a temporary name.
bool GiveName(int descriptor, const std::string& directory, std::string& path) {
#if defined(__linux__)
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + "/" + TemporaryName(static_cast<unsigned long>(getpid()));
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
        }
        // Without /proc, a linkat of the descriptor itself (which needs more rights).
        if (errno == ENOENT && linkat(descriptor, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
#endif
    (void)descriptor;
    (void)directory;
    path.clear();
    return false;
}

#if defined(__linux__)
// The names of the file's extended attributes (its POSIX ACLs among them); an empty list where
// the file system has none; nullopt when they cannot be read.
std::optional<std::vector<std::string> > AttributeNames(int descriptor) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = flistxattr(descriptor, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
        }
        std::string list(static_cast<std::size_t>(size), '\0');
        const ssize_t got = flistxattr(descriptor, list.data(), list.size());
        if (got < 0 && errno == ERANGE) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (std::size_t start = 0; start < static_cast<std::size_t>(got);) {
            const std::size_t end = list.find('\0', start);
            names.push_back(list.substr(start, end - start));
            start = end == std::string::npos ? list.size() : end + 1;
        }
        return names;
    }
    return std::nullopt;
}

bool AttributeValue(int descriptor, const std::string& name, std::string& value) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        const ssize_t size = fgetxattr(descriptor, name.c_str(), nullptr, 0);
        if (size < 0) {
            return false;
        }
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = fgetxattr(descriptor, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
}

bool CopyAttributes(int from, int to) {
    const auto names = AttributeNames(from);
    const auto present = AttributeNames(to);
    if (!names || !present) {
        return false;
    }
    // What the new file got at its creation (the directory's default ACL) but the old one lacks
    // would change who may use it.
    for (const std::string& name : *present) {
        if (std::find(names->begin(), names->end(), name) == names->end() &&
            fremovexattr(to, name.c_str()) != 0) {
            return false;
        }
    }
    std::string value;
    for (const std::string& name : *names) {
        if (!AttributeValue(from, name, value) ||
            fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
            return false;
        }
    }
    return true;
}
#endif

// Gives the new file the old one's owner, group, mode and extended attributes, in this order:
// a change of owner clears the set-user-ID bits, and an ACL sets the mode's group bits. False
// when any of it cannot be given.
bool CopyIdentity(int from, const struct stat& old, int to) {
    if (fchown(to, old.st_uid, old.st_gid) != 0 || fchmod(to, old.st_mode & 07777) != 0) {
        return false;
    }
#if defined(__linux__)
    return CopyAttributes(from, to);
#else
    (void)from;
    return true;
#endif
}

enum class Outcome { Done, CannotKeep, NoName, Failed };

// The atomic way: a new file renamed over the old one. `old` is null when there is no old file;
// the new file then gets the mode that a file created there gets. NoName: the file made without
// a name could not be given one; the same with a named temporary file may work.
Outcome ReplaceByRename(const std::string& target, const std::string& directory,
                        std::string_view text, const Descriptor* old, const struct stat* oldStatus,
                        bool unnamed) {
    // No rights for others until the text has the old file's owner and mode.
    const mode_t mode = old != nullptr ? 0600 : 0666;
    std::string temporary;
    Descriptor file = unnamed ? CreateUnnamedTemporary(directory, mode) : Descriptor();
    if (!file.Valid()) {
        file = CreateNamedTemporary(directory, mode, temporary);
        if (!file.Valid()) {
            return Outcome::Failed;
        }
    }
    const auto discard = [&](Outcome outcome) {
        if (!temporary.empty()) {
            unlink(temporary.c_str());
        }
        return outcome;
    };
    if (!WriteAll(file.Get(), text)) {
        return discard(Outcome::Failed);
    }
    if (old != nullptr && !CopyIdentity(old->Get(), *oldStatus, file.Get())) {
        return discard(Outcome::CannotKeep);
    }
    if (temporary.empty() && !GiveName(file.Get(), directory, temporary)) {
        return Outcome::NoName;
    }
    // On the disk before the rename: a crash must leave the old file or the new one under the
    // name, never one whose blocks were not written yet.
    if (fsync(file.Get()) != 0 || rename(temporary.c_str(), target.c_str()) != 0) {
        return discard(Outcome::Failed);
    }
    // The rename itself is an entry of the directory.
    SyncDirectory(directory);
    return Outcome::Done;
}

std::string JournalPath(const std::string& target, const std::string& directory,
                        const struct stat& status) {
    constexpr std::string_view kSuffix = ".zelk-new";
    const std::string name = target.substr(target.rfind('/') + 1);
    // A name near the length limit gets one from the file's number.
    if (name.size() + kSuffix.size() > 255) {
        return directory + "/" + std::string(kTemporaryPrefix) + std::to_string(status.st_ino) +
               std::string(kSuffix);
    }
    return directory + "/" + name + std::string(kSuffix);
}

// The in-place way: the old file rewritten, the journal keeping the whole new text meanwhile.
bool ReplaceInPlace(const std::string& target, const std::string& directory, std::string_view text,
                    int old, const struct stat& oldStatus) {
    // One rewrite of a file at a time: two would interleave their bytes.
    if (!Lock(old, LOCK_EX)) {
        return false;
    }
    std::string temporary;
    const Descriptor journal = CreateNamedTemporary(directory, 0600, temporary);
    if (!journal.Valid()) {
        return false;
    }
    // The journal takes its name only once the whole text is on the disk, and the file changes
    // only once the name is.
    const std::string journalPath = JournalPath(target, directory, oldStatus);
    if (!WriteAll(journal.Get(), text) || fsync(journal.Get()) != 0 ||
        rename(temporary.c_str(), journalPath.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncDirectory(directory);

    // The old text, to put back should the rewrite fail (a full disk, a size limit). A file that
    // cannot be read back is rewritten all the same: the journal holds the new text.
    std::string oldText;
    const bool kept = ReadAll(old, static_cast<std::size_t>(oldStatus.st_size), oldText);
    const auto rewrite = [old](std::string_view with) {
        return WriteAll(old, with) && ftruncate(old, static_cast<off_t>(with.size())) == 0 &&
               fsync(old) == 0;
    };
    if (!rewrite(text)) {
        if (kept && rewrite(oldText)) {
            unlink(journalPath.c_str());
        }
        return false;
    }
    // A journal that outlives a crash from here on holds the file's own text.
    unlink(journalPath.c_str());
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void ReplaceFileContents(const std::string& fileName, std::string_view text) {
    if (fileName.empty()) {
        throw WriteError(fileName);
    }
    std::string target = fileName;
    struct stat status = {};
    // Renaming over a symbolic link would replace the link by a file; write where it points.
    if (lstat(target.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char* resolved = realpath(target.c_str(), nullptr);
        if (resolved == nullptr) {
            throw WriteError(fileName);
        }
        target = resolved;
        std::free(resolved);
    }
    const bool exists = stat(target.c_str(), &status) == 0;
    // Anything but a regular file is refused before it is opened: opening a device or a pipe
    // could block or do something of its own.
    if ((exists && !S_ISREG(status.st_mode)) || (!exists && errno != ENOENT)) {
        throw WriteError(fileName);
    }
    // Opened for writing, as a read-only file means "do not change": the rename below would
    // replace it as long as its directory can be written. Opening writes nothing.
    Descriptor old;
    if (exists) {
        old = Descriptor(open(target.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!old.Valid() && errno == EACCES) {
            old = Descriptor(open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        }
        if (!old.Valid() || fstat(old.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
            throw WriteError(fileName);
        }
    }
    const std::string directory = DirectoryOf(target);
    RemoveLeftovers(directory);

    // Another hard link would keep the old text under its name after a rename.
    Outcome outcome = Outcome::CannotKeep;
    if (!exists || status.st_nlink == 1) {
        for (const bool unnamed : {true, false}) {
            outcome = ReplaceByRename(target, directory, text, exists ? &old : nullptr,
                                      exists ? &status : nullptr, unnamed);
            if (outcome != Outcome::NoName) {
                break;
            }
        }
    }
    if (outcome == Outcome::CannotKeep) {
        outcome = ReplaceInPlace(target, directory, text, old.Get(), status) ? Outcome::Done
                                                                             : Outcome::Failed;
    } else if (outcome == Outcome::Done && exists) {
        // A journal that a crashed in-place save left is older than what now stands there.
        RemoveUnlessHeld(JournalPath(target, directory, status));
    }
    if (outcome != Outcome::Done) {
        throw WriteError(fileName);
    }
}

#endif

}  // namespace zelk
