#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> requested{false};
void (*previous)(int) = SIG_DFL;

extern "C" void OnInterrupt(int)
{
    requested = true;
}

}  // namespace

InterruptGuard::InterruptGuard()
{
    requested = false;
    previous = std::signal(SIGINT, OnInterrupt);
}

InterruptGuard::~InterruptGuard()
{
    std::signal(SIGINT, previous);
}

bool InterruptGuard::Requested()
{
    return requested;
}
