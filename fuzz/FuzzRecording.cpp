// A recording of the line from the fuzzer's bytes, read as decode and the
// replaying simulator read it: every event it takes formats back to a line
// that reads as the same event, and each write and read decodes.
#include "link/LineDecoding.h"
#include "link/Recording.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Recording recording = ParseRecording(std::string_view(reinterpret_cast<const char*>(data), size));
    DecodedRequest request;
    for (const LineEvent& event : recording.events) {
        const std::string line = FormatLineEvent(event);
        const Recording again = ParseRecording(std::string(kRecordingHeader) + "\n" + line + "\n");
        if (!again.error.empty() || again.events.size() != 1 || FormatLineEvent(again.events.front()) != line)
            std::abort();  // an event that does not read back as it was written
        if (event.kind == LineEvent::Kind::Write)
            request = DecodeRequest(event.bytes);
        else if (event.kind == LineEvent::Kind::Read)
            DecodeReply(request, event.bytes);
    }
    return 0;
}
