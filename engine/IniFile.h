#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/FileReplacement.h"

namespace zelk {

// An INI file held line by line in memory, so that setting a value rewrites that one line and
// leaves every other byte of a hand-edited file alone.
//
// Reading rules:
// - A line ends at CR LF, at LF or at a lone CR (as old Mac editors write them). A last line
//   without a line end is a line all the same.
// - A line whose first non-blank character is "[" and which has a "]" after it is a section
//   header; the name is what stands between the "[" and the last "]", without blanks around it.
//   A UTF-8 byte order mark before the first line's "[" is allowed and kept.
// - A line whose first non-blank character is ";" is a comment. Any other line with a "=" is a
//   key: the name before the first "=", the value after it, both without blanks around them.
//   Lines without "=" and blank lines are kept but never read.
// - Section and key names compare without regard to ASCII letter case. Keys before the first
//   header belong to no section and are never found. A section whose header appears more than
//   once is one section; where a key appears more than once, the first one in the file counts
//   for reading and for writing.
// Blanks are the characters of code 32 or below. Bytes of 128 and above are ordinary characters,
// so UTF-8 text passes through unchanged. Section and key names given to the functions below are
// taken without blanks around them, as the file's names are.
class IniFile {
public:
    enum class LoadResult { Loaded, Missing, Unreadable, TooLarge };

    // The largest file that Load reads: 1 GiB.
    static constexpr std::uintmax_t kLargestFile = std::uintmax_t{1} << 30;

    // Replaces the contents with the lines of the text.
    void Parse(std::string_view text);

    // Replaces the contents with the lines of the file (a UTF-8 name), as far as the file reached
    // when it was opened: what is appended meanwhile is not read. Missing: the file does not
    // exist (the contents are then empty). Unreadable: it exists but cannot be read, or is not a
    // file; TooLarge: it is larger than kLargestFile (the contents are then left as they were).
    LoadResult Load(const std::string& fileName);

    bool HasSection(std::string_view section) const;

    // The value of the key, whole, without leading and trailing blanks; nullopt when the section
    // or the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // The value of the key, or the default when the section or the key is missing.
    std::string Read(std::string_view section, std::string_view key,
                     std::string_view defaultValue) const;

    // Sets the value of a key. An existing key's line becomes "name=value" where it stands, the
    // name spelt as in the file; a new key goes after the last non-blank line of its section; a
    // new section goes to the end of the file. Throws std::invalid_argument, changing nothing, for
    // a text that its line cannot hold: a CR or LF anywhere, a key name with "=" or starting like
    // a header or a comment.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    // The whole file, every line ended by CR LF.
    std::string Compose() const;

    // Replaces the file by Compose() all or nothing with ReplaceFileContents, which keeps the
    // file's owner, mode, ACL, attributes and links. A file that cannot be written (read-only,
    // not a regular file, a missing or read-only directory, a failed write) throws
    // WriteError(fileName), leaving the old file as it was and creating none. A text that begins
    // like a UTF-16 file (the bytes FF FE or FE FF) throws std::runtime_error with a message that
    // says so: its line ends, written as single bytes, would corrupt every UTF-16 line.
    void Save(const std::string& fileName) const;

private:
    // A run of lines: the lines before the first header, or a header and the lines under it.
    struct Part {
        std::vector<std::string> lines;
    };
    struct KeyPlace {
        std::size_t part;
        std::size_t line;
    };
    struct Section {
        std::size_t lastPart;  // new keys go to the end of the section's last part
        std::unordered_map<std::string, KeyPlace> keys;  // by lower-case name, first one only
    };

    const std::string* FindLine(std::string_view section, std::string_view key) const;

    std::vector<Part> parts_;
    std::unordered_map<std::string, Section> sections_;  // by lower-case name
};

}  // namespace zelk
