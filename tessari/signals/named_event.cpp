#include "signals/named_event.h"

#include <fcntl.h>
#include <semaphore.h>

namespace tessari {

std::string SemaphoreName(const std::string& eventName)
{
    std::string name = "/" + eventName;
    for (std::size_t i = 1; i < name.size(); ++i)
        if (name[i] == '/') name[i] = '_';
    return name;
}

bool SetNamedEvent(const std::string& eventName)
{
    if (eventName.empty()) return false;
    sem_t* event = sem_open(SemaphoreName(eventName).c_str(), 0);
    if (event == SEM_FAILED) return false;
    const bool posted = sem_post(event) == 0;
    sem_close(event);
    return posted;
}

}  // namespace tessari
