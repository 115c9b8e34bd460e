// One stand-in host for the whole test program: the module keeps the host's services for the life of the process.
#pragma once

#include "host/host.h"

inline host::Host& SharedHost()
{
    static host::Host* instance = [] {
        auto* created = new host::Host;
        created->Start();
        return created;
    }();
    return *instance;
}
