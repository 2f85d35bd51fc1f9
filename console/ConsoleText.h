#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The Enter handler's arithmetic on the console's text, whose lines end in
// CR LF, with the caret as the count of the characters before it.

// The line under the caret: from just after the LF before the caret (or the
// start) to the first CR at or after it (or the end). A caret beyond the end
// stands at the end.
std::string_view LineAt(std::string_view text, std::size_t caret);

// What the Enter handler appends to the text after a command: a line break
// when the text is neither empty nor ends with one, then the output and a line
// break unless the output is empty.
std::string TextToAppend(std::string_view text, std::string_view output);
