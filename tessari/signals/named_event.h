// Named events as POSIX named semaphores.
//
// An imaging application creates the semaphore "/<name>" (every "/" inside
// the event name replaced by "_") and waits on it; Tessari opens it without
// creating it and posts it once. An empty name, a semaphore that does not
// exist or a name the system refuses is skipped silently.
#pragma once

#include <string>

namespace tessari {

// "/" + name with "/" replaced by "_".
std::string SemaphoreName(const std::string& eventName);

// Opens and sets the event; true when a semaphore was posted.
bool SetNamedEvent(const std::string& eventName);

}  // namespace tessari
