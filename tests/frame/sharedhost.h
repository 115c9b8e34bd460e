// One stand-in host for the whole test program: the module keeps the host's services for the life of the process.
#pragma once

#include "host/host.h"

#include <gtest/gtest.h>

inline host::Host& SharedHost()
{
    static host::Host* instance = [] {
        auto* created = new host::Host;
        created->Start();
        return created;
    }();
    return *instance;
}

// The host is started before the first test, whichever runs first: a test that reaches the module's services
// while no host is registered makes the module load the framework library for the rest of the process, and every
// later test would then talk to that framework instead of the shared host.
class SharedHostEnvironment final : public testing::Environment {
public:
    void SetUp() override { SharedHost(); }
};

inline testing::Environment* const sharedHostEnvironment =
    testing::AddGlobalTestEnvironment(new SharedHostEnvironment);
