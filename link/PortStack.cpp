#include "link/PortStack.h"

#include "link/RecordingBackend.h"
#include "link/StoppableBackend.h"
#include "link/TracingBackend.h"

PortStack BuildPortStack(std::unique_ptr<PortBackend> port, PortStackOptions options)
{
    PortStack stack{std::move(port)};
    if (options.stopNow)
        stack.backend = std::make_unique<StoppableBackend>(std::move(stack.backend), std::move(options.stopNow));
    if (options.recordable) {
        auto recording = std::make_unique<RecordingBackend>(std::move(stack.backend));
        stack.recording = recording.get();
        stack.backend = std::move(recording);
    }
    if (options.trace)
        stack.backend = std::make_unique<TracingBackend>(std::move(stack.backend), std::move(options.trace));
    return stack;
}
