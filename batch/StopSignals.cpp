#include "StopSignals.h"

#include <csignal>

namespace {

std::atomic<bool> stopRequested{false};
std::atomic<int> receivedSignal{0};
constexpr int Handled[] = {SIGINT, SIGTERM};

extern "C" void requestStop(int signal)
{
    receivedSignal = signal;
    stopRequested = true;
}

void setHandler(int signal, void (*handler)(int))
{
    struct sigaction action
    {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

} // namespace

StopSignals::StopSignals()
{
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
    for (const int signal : Handled)
        setHandler(signal, requestStop);
    // Standard error read by a pipe that closes early (| head) must not end the run half way through a save.
    setHandler(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals()
{
    for (const int signal : Handled)
        setHandler(signal, SIG_DFL);
}

const std::atomic<bool> &StopSignals::stopping() const
{
    return stopRequested;
}

void StopSignals::raiseReceived() const
{
    const int signal = receivedSignal;
    if (signal == 0)
        return;
    setHandler(signal, SIG_DFL);
    std::raise(signal);
}
