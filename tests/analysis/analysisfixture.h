// A host document over a generated recording, with the analysis document opened on it: the stand-in host with the
// module's classes registered, its analysis manager, and the recording's events known from the generator.
#pragma once

#include "document/cxdoc.h"
#include "document/settingids.h"
#include "host/datasource.h"
#include "host/docframework.h"
#include "host/host.h"
#include "host/loopmetry.h"
#include "../driver/testhost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <vector>

// The module's classes are registered with this host.
inline host::Host& AnalysisHost() { return TestHost(); }

// Peaks of a raised cosine (varied heights, 200 ms wide) on a slow baseline with Gaussian noise, one channel in V
// sampled every millisecond; the centre of every peak is kept per block.
struct PeakRecording {
    static constexpr int kWidth = 200;

    std::shared_ptr<host::Document> document = host::Document::Create();
    std::vector<std::vector<std::int32_t>> centres; // per block

    explicit PeakRecording(const std::vector<int>& blockLengths, int spacing = 600, unsigned seed = 7)
    {
        document->AddChannel(u"Voltage", u"V");
        std::mt19937 random(seed);
        std::normal_distribution<float> noise(0.0f, 0.0005f);
        std::uniform_real_distribution<float> height(0.4f, 1.6f);
        for (const int length : blockLengths) {
            const int block = document->AddBlock(0.001);
            std::vector<float> samples(static_cast<std::size_t>(length));
            for (int i = 0; i < length; ++i) {
                samples[i] = 0.05f * std::sin(i * 1e-4f) + noise(random);
            }
            centres.emplace_back();
            for (int centre = spacing / 2; centre + kWidth / 2 < length; centre += spacing) {
                const float h = height(random);
                for (int d = -kWidth / 2; d <= kWidth / 2; ++d) {
                    samples[centre + d] += h * 0.5f * (1.0f + std::cos(3.14159265f * d / (kWidth / 2)));
                }
                centres.back().push_back(centre);
            }
            document->SetSamples(block, 0, std::move(samples));
        }
    }

    // Every peak centre as (block, tick), in order.
    std::vector<std::pair<std::int32_t, std::int32_t>> Peaks(std::int32_t fromBlock = 0, std::int32_t fromTick = 0,
                                                            std::int32_t toBlock = 0x7FFFFFFF,
                                                            std::int32_t toTick = 0x7FFFFFFF) const
    {
        std::vector<std::pair<std::int32_t, std::int32_t>> out;
        for (std::size_t b = 0; b < centres.size(); ++b) {
            const auto block = static_cast<std::int32_t>(b);
            for (const std::int32_t tick : centres[b]) {
                const bool after = block > fromBlock || (block == fromBlock && tick >= fromTick);
                const bool before = block < toBlock || (block == toBlock && tick < toTick);
                if (after && before) {
                    out.emplace_back(block, tick);
                }
            }
        }
        return out;
    }
};

// Stimulus artefacts (3 V, one sample) every 500 ms, each followed by a peak-trough-peak response (bumps at 10 and 30 ms,
// a trough at 20 ms), on Gaussian noise, sampled every 0.5 ms; the stimulus ticks are kept per block.
struct EvokedRecording {
    std::shared_ptr<host::Document> document = host::Document::Create();
    std::vector<std::vector<std::int32_t>> stimuli;

    explicit EvokedRecording(const std::vector<int>& blockLengths, unsigned seed = 11)
    {
        document->AddChannel(u"Field", u"V");
        std::mt19937 random(seed);
        std::normal_distribution<float> noise(0.0f, 0.0005f);
        std::uniform_real_distribution<float> height(0.3f, 0.9f);
        auto bump = [](std::vector<float>& samples, int centre, int half, float h) {
            for (int d = -half; d <= half; ++d) {
                samples[centre + d] += h * 0.5f * (1.0f + std::cos(3.14159265f * d / half));
            }
        };
        for (const int length : blockLengths) {
            const int block = document->AddBlock(0.0005);
            std::vector<float> samples(static_cast<std::size_t>(length));
            for (float& sample : samples) {
                sample = noise(random);
            }
            stimuli.emplace_back();
            for (int stimulus = 200; stimulus + 120 < length; stimulus += 1000) {
                samples[stimulus] += 3.0f;
                const float h = height(random);
                bump(samples, stimulus + 20, 8, h);
                bump(samples, stimulus + 40, 10, -1.5f * h);
                bump(samples, stimulus + 60, 8, h);
                stimuli.back().push_back(stimulus);
            }
            document->SetSamples(block, 0, std::move(samples));
        }
    }
};

struct AnalysedDocument {
    // With `loopmetry` the host document offers the Loopmetry extension (its stand-in detection settings).
    explicit AnalysedDocument(std::shared_ptr<host::Document> recording, bool loopmetry = false)
    {
        host::Host& host = AnalysisHost();
        source = host::DataSource::Create(host, std::move(recording));
        WORD shortId = 0;
        host.GetFramework().GetShortId(&GUID_AnalysisManagerFamily, &shortId);
        manager = platform::ComPtr<host::AnalysisManager>::Adopt(
            host::AnalysisManager::Create(host.Log(), static_cast<DWORD>(shortId) << 16));
        hostDocument = host::HostDocument::Create(host.Log(), 7, platform::ComPtr<host::ChartData>(&source->GetChartData()));
        hostDocument->SetApplication(platform::ComPtr<IUnknown>(static_cast<IHostObjectsById*>(manager.Get())));
        if (loopmetry) {
            platform::ComPtr<ILMDocExtension> extension(new host::LMDocExtension(nullptr));
            hostDocument->SetExtensionSite(
                platform::ComPtr<IDocumentSite>(new host::LMDocumentSite(host.GetFramework(), extension.Get())));
        }
        documentClass = platform::ComPtr<CAFDocumentClass<CX::Doc::CXDoc>>(new CAFDocumentClass<CX::Doc::CXDoc>);
        document = hostDocument->CreateDocument(documentClass.Get());
        doc = static_cast<CX::Doc::CXDoc*>(document.Get());
        doc->Settings().SetLong(CX::Doc::SettingId::kSourceChannel, 0);
        EXPECT_EQ(doc->Open(), S_OK);
        host.GetFramework().Progress().SetAvailable(true);
        host.GetFramework().Progress().SetSink([this](const host::ProgressReport& report) {
            progress.push_back(report);
            return cancelAt && report.percent >= *cancelAt ? E_ABORT : S_OK;
        });
    }
    ~AnalysedDocument()
    {
        document->Close();
        AnalysisHost().GetFramework().Progress().SetSink({});
        AnalysisHost().GetFramework().Progress().SetAvailable(true);
    }

    // What the host's progress displays were told, and the percentage from which the user cancels.
    std::vector<host::ProgressReport> progress;
    std::optional<LONG> cancelAt;

    void SetAnalysisType(int type)
    {
        const std::string text = std::to_string(type);
        doc->Settings().Find(CX::Doc::SettingId::kAnalysisType)->FromText(KVO::String(std::u16string(text.begin(), text.end()).c_str()), true);
    }

    host::CalcChannels& Channels() { return source->GetChartData().Calculations(); }
    std::u16string ChannelText(std::int32_t settingId)
    {
        const auto& channels = Channels().Channels();
        const auto found = channels.find(doc->Settings().GetLong(settingId));
        return found == channels.end() ? u"<none>" : found->second.text;
    }
    // The stored events as (block, tick).
    // (With `stimulusTicks` the events' stimulus ticks.)
    std::vector<std::pair<std::int32_t, std::int32_t>> Events(bool stimulusTicks = false)
    {
        std::vector<std::pair<std::int32_t, std::int32_t>> out;
        CX::Doc::CycleDetector* results = doc->Results();
        for (std::int32_t row = 0; results && row < results->EventCount(); ++row) {
            const auto& stored = results->EventAt(row);
            out.emplace_back(stored.block, stimulusTicks ? stored.record.stimulusTick : stored.record.tick);
        }
        return out;
    }

    platform::ComPtr<host::DataSource> source;
    platform::ComPtr<host::AnalysisManager> manager;
    platform::ComPtr<host::HostDocument> hostDocument;
    platform::ComPtr<CAFDocumentClass<CX::Doc::CXDoc>> documentClass;
    platform::ComPtr<ICustomDocument2> document;
    CX::Doc::CXDoc* doc = nullptr;
};
