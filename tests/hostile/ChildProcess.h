#pragma once

#include <QByteArray>

#include <functional>

// Runs a piece of a test in a forked copy of the test process, so that it can be held to limits (address
// space, file size, another user, its own mounts) and watched for crashes and hangs without taking the test
// program down with it. The child sees everything the test had set up, widgets included.
struct ChildLimits
{
    qint64 addressSpaceHeadroom = 0; // bytes the child may map beyond what it has at the start; 0: no limit
    qint64 fileSizeLimit = -1;       // largest file the child may write (SIGXFSZ ignored); -1: no limit
    bool asNobody = false;           // run as the unprivileged user "nobody" (needs root)
    int timeoutSeconds = 60;
};

struct ChildResult
{
    bool finished = false;      // ended by itself, without a signal, and reported
    bool limitsRefused = false; // the child could not be held to the limits: nothing was tried
    bool timedOut = false;
    int exitCode = -1;
    int signal = 0;
    QByteArray report; // what the body returned
};

ChildResult runInChild(const std::function<QByteArray()> &body, const ChildLimits &limits = {});

// A figure from /proc/self/status ("VmPeak", "VmSize", "VmHWM", "VmRSS"), in bytes.
qint64 procStatusBytes(const char *name);

// Gives the calling process mounts of its own, so that whatever it mounts vanishes with it. False when the
// system does not allow it.
bool enterOwnMountNamespace();

// The sanitizers reserve terabytes of address space up front; an address-space limit cannot work under them.
constexpr bool sanitizedBuild()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}
