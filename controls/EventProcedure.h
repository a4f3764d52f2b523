#pragma once

#include "errors/RuntimeError.h"

#include <new>

// The default handling of a run-time error that no procedure traps: the toolkit reports it in a message box.
void reportRuntimeError(const RuntimeError &error);

// Runs one event procedure. An untrapped run-time error is reported and the procedure ends there; the window
// and everything it holds stay as they are, so no work is lost.
template<class Procedure>
bool runEventProcedure(Procedure &&procedure)
{
    try {
        procedure();
        return true;
    } catch (const RuntimeError &error) {
        reportRuntimeError(error);
    } catch (const std::bad_alloc &) {
        reportRuntimeError(RuntimeError(ErrorNumber::OutOfMemory));
    }
    return false;
}
