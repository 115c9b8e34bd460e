// One stand-in host for the test program with the module's classes registered (the module's code is linked into
// the test program), and data sources over documents built in the tests.
#pragma once

#include "frame/module.h"
#include "host/datasource.h"
#include "host/host.h"

#include <memory>
#include <vector>

inline host::Host& TestHost()
{
    static host::Host* instance = [] {
        auto* created = new host::Host;
        created->Start();
        DllRegisterClassObjects(static_cast<ICAFFramework*>(&created->GetFramework()));
        return created;
    }();
    return *instance;
}

inline platform::ComPtr<host::DataSource> SourceOf(std::shared_ptr<host::Document> document)
{
    return host::DataSource::Create(TestHost(), std::move(document));
}

// A document of one channel ("Vm", mV) with one block per sample vector.
inline std::shared_ptr<host::Document> OneChannel(const std::vector<std::vector<float>>& blocks, double tickPeriod)
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    for (const auto& samples : blocks) {
        document->SetSamples(document->AddBlock(tickPeriod), 0, samples);
    }
    return document;
}
