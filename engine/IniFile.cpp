#include "engine/IniFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

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

// The file names are UTF-8 on every system.
std::filesystem::path PathOf(const std::string& fileName) {
    return std::filesystem::path(std::u8string(fileName.begin(), fileName.end()));
}

}  // namespace

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
    const fs::path path = PathOf(fileName);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        Parse({});
        return LoadResult::Missing;
    }
    // Anything but a regular file is refused: reading a pipe or a device could block for ever.
    if (error || status.type() != fs::file_type::regular) {
        return LoadResult::Unreadable;
    }
    std::ifstream in(path, std::ios::binary);
    // The size now that the file is open: one that grows meanwhile is read only that far, so
    // that a file someone keeps appending to cannot make the load read for ever.
    const std::streamoff size = in.seekg(0, std::ios::end).tellg();
    if (!in || size < 0) {
        return LoadResult::Unreadable;
    }
    if (static_cast<std::uintmax_t>(size) > kLargestFile) {
        return LoadResult::TooLarge;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.seekg(0).read(text.data(), size);
    if (in.bad()) {
        return LoadResult::Unreadable;
    }
    // A file that shrank meanwhile is read as far as it still goes.
    text.resize(static_cast<std::size_t>(in.gcount()));
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
    const std::string text = Compose();
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        throw std::runtime_error("Soubor " + fileName +
                                 " je v kódování UTF-16, do kterého Zelk neumí zapisovat; soubor "
                                 "zůstal beze změny.");
    }
    ReplaceFileContents(fileName, text);
}

}  // namespace zelk
