#pragma once

#include <string>
#include <string_view>

namespace zelk {

// True when the bytes are well-formed UTF-8: no stray continuation byte, no overlong form, no
// surrogate and nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The text read as code page Windows-1250 (Czech and other Central European systems), in UTF-8.
// The five bytes that code page leaves unassigned become the control characters of their codes.
std::string Windows1250ToUtf8(std::string_view text);

// The text itself when it is valid UTF-8, otherwise the text read as Windows-1250: files written
// by Czech systems keep their letters instead of turning into replacement marks.
std::string TextAsUtf8(std::string_view text);

}  // namespace zelk
