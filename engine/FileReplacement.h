#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace zelk {

// The error of a file that cannot be written: "Unable to write to " and the file name.
std::runtime_error WriteError(const std::string& fileName);

// Replaces the whole contents of a file by the text, all or nothing, or throws
// WriteError(fileName) and leaves the old file as it was. The name is UTF-8; a symbolic link is
// followed and stays a link. A read-only file, anything but a regular file, and a missing or
// read-only directory are refused.
//
// The old file stays the same file to everyone but its text: its owner, group, mode, ACL,
// extended attributes and its other hard links are kept. Two ways lead there:
// - Atomic, wherever the new file can be given all of that: the text goes into a new file that no
//   one else may read and that has no name yet, which then gets the old file's owner, group, mode
//   and extended attributes, is synced, and is renamed over the old one; then the directory is
//   synced. A crash leaves the old file or the new one, whole.
// - In place, where it cannot (the saver may not give the old owner or group, the file has other
//   hard links, an attribute cannot be copied): the whole text first goes, synced, into the
//   journal "<name>.zelk-new" beside the file (readable by the saver alone), then the file itself
//   is rewritten and synced, then the journal is removed. A crash while the file is rewritten
//   leaves it torn, with the complete new text in the journal; the next save of the file removes
//   the journal.
// Temporary files are named ".zelk-*.tmp" and locked while a save uses them; each save removes
// those of its directory that no running save holds, left there by a save that was killed.
void ReplaceFileContents(const std::string& fileName, std::string_view text);

}  // namespace zelk
