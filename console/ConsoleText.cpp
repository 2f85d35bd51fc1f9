#include "console/ConsoleText.h"

#include <algorithm>

std::string_view LineAt(std::string_view text, std::size_t caret)
{
    const std::size_t at = std::min(caret, text.size());
    const std::size_t previousLf = text.substr(0, at).rfind('\n');
    const std::size_t start = previousLf == std::string_view::npos ? 0 : previousLf + 1;
    const std::size_t end = std::min(text.find('\r', at), text.size());
    return text.substr(start, end - start);
}

std::string TextToAppend(std::string_view text, std::string_view output)
{
    std::string appended;
    if (!text.empty() && text.back() != '\n')
        appended += "\r\n";
    if (!output.empty()) {
        appended += output;
        appended += "\r\n";
    }
    return appended;
}
