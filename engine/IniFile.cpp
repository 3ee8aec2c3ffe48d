#include "engine/IniFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#if __has_include(<unistd.h>) && __has_include(<fcntl.h>)
#include <fcntl.h>
#include <unistd.h>
#define ZELK_POSIX_FILES 1
#endif

#include "engine/Fields.h"

namespace zelk {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsBlankLine(std::string_view line) { return TrimmedView(line).empty(); }

// Only ASCII letters fold: bytes of UTF-8 sequences must never change.
std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

enum class LineKind { Header, Key, Other };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;  // the section name of a header, the key name of a key
};

LineInfo Classify(std::string_view line, bool firstLine) {
    if (firstLine && line.starts_with(kByteOrderMark)) {
        line.remove_prefix(kByteOrderMark.size());
    }
    while (!line.empty() && IsBlank(line.front())) {
        line.remove_prefix(1);
    }
    if (line.starts_with('[')) {
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos || close == 0) {
            return {};
        }
        return {LineKind::Header, TrimmedView(line.substr(1, close - 1))};
    }
    if (line.starts_with(';')) {
        return {};
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return {};
    }
    return {LineKind::Key, TrimmedView(line.substr(0, equals))};
}

std::string_view ValueOf(std::string_view keyLine) {
    return TrimmedView(keyLine.substr(keyLine.find('=') + 1));
}

// Waits until the file's data and size are on the disk.
bool SyncToDisk(std::FILE* file) {
#if defined(ZELK_POSIX_FILES)
    return fsync(fileno(file)) == 0;
#else
    (void)file;
    return true;
#endif
}

void SyncDirectory(const std::filesystem::path& directory) {
#if defined(ZELK_POSIX_FILES)
    const std::string name = directory.empty() ? std::string(".") : directory.string();
    const int descriptor = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
#else
    (void)directory;
#endif
}

}  // namespace

std::runtime_error WriteError(const std::string& fileName) {
    return std::runtime_error("Unable to write to " + fileName);
}

void IniFile::Parse(std::string_view text) {
    parts_.assign(1, Part{});
    sections_.clear();
    Section* current = nullptr;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        std::size_t next = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++next;
        }
        const std::string_view line = text.substr(start, end - start);
        const LineInfo info = Classify(line, start == 0);
        if (info.kind == LineKind::Header) {
            parts_.push_back(Part{{std::string(line)}});
            const auto [place, added] =
                sections_.try_emplace(LowerAscii(info.name), Section{parts_.size() - 1, {}});
            current = &place->second;
            current->lastPart = parts_.size() - 1;
        } else {
            Part& part = parts_.back();
            if (info.kind == LineKind::Key && current != nullptr) {
                // try_emplace keeps an earlier key of the same name: the first one counts.
                current->keys.try_emplace(LowerAscii(info.name),
                                          KeyPlace{parts_.size() - 1, part.lines.size()});
            }
            part.lines.emplace_back(line);
        }
        start = next;
    }
}

IniFile::LoadResult IniFile::Load(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(fileName, error);
    if (status.type() == fs::file_type::not_found) {
        Parse({});
        return LoadResult::Missing;
    }
    // Anything but a regular file is refused: reading a pipe or a device could block for ever.
    if (error || status.type() != fs::file_type::regular) {
        return LoadResult::Unreadable;
    }
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        return LoadResult::Unreadable;
    }
    std::string text;
    char buffer[65536];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, count);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return LoadResult::Unreadable;
    }
    Parse(text);
    return LoadResult::Loaded;
}

bool IniFile::HasSection(std::string_view section) const {
    return sections_.contains(LowerAscii(TrimmedView(section)));
}

const std::string* IniFile::FindLine(std::string_view section, std::string_view key) const {
    const auto found = sections_.find(LowerAscii(TrimmedView(section)));
    if (found == sections_.end()) {
        return nullptr;
    }
    const auto place = found->second.keys.find(LowerAscii(TrimmedView(key)));
    if (place == found->second.keys.end()) {
        return nullptr;
    }
    return &parts_[place->second.part].lines[place->second.line];
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    const std::string* line = FindLine(section, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    return std::string(ValueOf(*line));
}

std::string IniFile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const {
    const std::string* line = FindLine(section, key);
    return std::string(line == nullptr ? defaultValue : ValueOf(*line));
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    section = TrimmedView(section);
    key = TrimmedView(key);
    // A line end inside a text would split its line and could plant keys of its own; a key name
    // with "=", or one that reads as a header or comment, would not read back as itself.
    const auto hasLineEnd = [](std::string_view text) {
        return text.find_first_of("\r\n") != std::string_view::npos;
    };
    if (hasLineEnd(section) || hasLineEnd(key) || hasLineEnd(value) ||
        key.find('=') != std::string_view::npos || key.starts_with('[') || key.starts_with(';')) {
        throw std::invalid_argument("An INI line cannot hold this text");
    }

    std::string sectionName = LowerAscii(section);
    auto found = sections_.find(sectionName);
    if (found == sections_.end()) {
        // Built in steps: GCC 12 warns wrongly (-Wrestrict) about "[" + std::string(...).
        std::string header = "[";
        header += section;
        header += ']';
        parts_.push_back(Part{{std::move(header)}});
        found = sections_.try_emplace(std::move(sectionName), Section{parts_.size() - 1, {}}).first;
    }
    Section& place = found->second;

    std::string keyName = LowerAscii(key);
    const auto existing = place.keys.find(keyName);
    if (existing != place.keys.end()) {
        std::string& line = parts_[existing->second.part].lines[existing->second.line];
        std::string replaced(Classify(line, false).name);
        replaced += '=';
        replaced += value;
        line = std::move(replaced);
        return;
    }

    // After the section's last non-blank line, so that the blank lines that set it apart from
    // the next section stay after it. Only blank lines move, so no key changes its index.
    std::vector<std::string>& lines = parts_[place.lastPart].lines;
    std::size_t at = lines.size();
    while (at > 1 && IsBlankLine(lines[at - 1])) {
        --at;
    }
    std::string line(key);
    line += '=';
    line += value;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    place.keys.try_emplace(std::move(keyName), KeyPlace{place.lastPart, at});
}

std::string IniFile::Compose() const {
    std::size_t size = 0;
    for (const Part& part : parts_) {
        for (const std::string& line : part.lines) {
            size += line.size() + 2;
        }
    }
    std::string text;
    text.reserve(size);
    for (const Part& part : parts_) {
        for (const std::string& line : part.lines) {
            text += line;
            text += "\r\n";
        }
    }
    return text;
}

void IniFile::Save(const std::string& fileName) const {
    namespace fs = std::filesystem;
    if (fileName.empty()) {
        throw WriteError(fileName);
    }
    std::error_code error;
    fs::path target(fileName);
    // Renaming over a symbolic link would replace the link by a file; write where it points.
    if (fs::symlink_status(target, error).type() == fs::file_type::symlink) {
        target = fs::canonical(target, error);
        if (error) {
            throw WriteError(fileName);
        }
    }
    const fs::file_status status = fs::status(target, error);
    const bool exists = status.type() != fs::file_type::not_found;
    if (exists) {
        if (error || status.type() != fs::file_type::regular) {
            throw WriteError(fileName);
        }
        // The rename below would replace a read-only file as long as its directory can be
        // written; a read-only file means "do not change", so it is refused here. Opening it for
        // appending and writing nothing leaves it untouched.
        std::FILE* probe = std::fopen(target.string().c_str(), "ab");
        if (probe == nullptr) {
            throw WriteError(fileName);
        }
        std::fclose(probe);
    }

    const std::string text = Compose();

    // A short name of its own: one derived from a long file name could exceed the name limit.
    static std::atomic<unsigned> counter = 0;
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    fs::path temporary;
    std::FILE* out = nullptr;
    for (int attempt = 0; attempt < 100 && out == nullptr; ++attempt) {
        temporary = target.parent_path() / (".zelk-" + std::to_string(stamp % 1000000007ULL) + "-" +
                                            std::to_string(++counter) + ".tmp");
        out = std::fopen(temporary.string().c_str(), "wbx");
        // Only a name already taken is worth another try; anything else will not get better.
        if (out == nullptr && !fs::exists(temporary, error)) {
            break;
        }
    }
    if (out == nullptr) {
        throw WriteError(fileName);
    }

    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fflush(out) == 0 && written;
    if (written && exists) {
        fs::permissions(temporary, status.permissions(), fs::perm_options::replace, error);
        written = !error;
    }
    // On the disk before the rename: a crash must leave the old file or the new one under the
    // name, never one whose blocks were not written yet.
    written = written && SyncToDisk(out);
    written = std::fclose(out) == 0 && written;
    if (written) {
        fs::rename(temporary, target, error);
        written = !error;
    }
    if (!written) {
        fs::remove(temporary, error);
        throw WriteError(fileName);
    }
    // The rename itself is an entry of the directory. The file is in place either way, so a
    // directory that cannot be synced (some file systems refuse) is no failure of the save.
    SyncDirectory(target.parent_path());
}

}  // namespace zelk
