#pragma once

#include <atomic>

// Ctrl+C and SIGTERM ask the run to stop: no new file is started, those in work are finished, so that no
// partial or temporary file is left. Once the run has wound down, the signal is raised again with its default
// effect, so that the caller (a shell loop, a script) learns that the command was interrupted.
class StopSignals
{
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    const std::atomic<bool> &stopping() const;
    // Ends the process by the signal that stopped it, if one did.
    void raiseReceived() const;
};
