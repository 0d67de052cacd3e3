// The table of temporary files a second interrupt removes, shared by the
// platforms' interrupt handlers (GuardTemporaryFile and
// ReleaseTemporaryFile, declared in Platform.h, fill it).
#pragma once

/// Calls Remove with the name of every temporary file guarded now. Safe in
/// a signal handler and on another thread: it touches only lock-free
/// atomics and names copied in before they show.
void RemoveGuardedTemporaries(void (*Remove)(const char *Name));
