#pragma once

#include "errors/RuntimeError.h"

#include <new>

// Runs a procedure as a fixed list of steps under the ignore-and-continue policy: a run-time error ends
// only the step it arises in, its number becomes the procedure's last error number, and the procedure goes
// on with the next step. A test is a step of its own; an error inside it takes the test's true branch.
class ResumeNext
{
public:
    template<class Step>
    void step(Step &&body) noexcept
    {
        try {
            body();
        } catch (const RuntimeError &error) {
            m_lastError = error.number();
        } catch (const std::bad_alloc &) {
            m_lastError = ErrorNumber::OutOfMemory;
        }
    }

    template<class Condition>
    bool test(Condition &&condition) noexcept
    {
        try {
            return condition();
        } catch (const RuntimeError &error) {
            m_lastError = error.number();
        } catch (const std::bad_alloc &) {
            m_lastError = ErrorNumber::OutOfMemory;
        }
        return true;
    }

    // The number of the most recent error ignored in this run of the procedure; 0 when none was.
    int Err() const noexcept { return m_lastError; }

private:
    int m_lastError = 0;
};
