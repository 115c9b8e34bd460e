// The host document's sampling: a recording replayed into the document's data block by block, a step of samples
// at a time, with the online-data notices told to the data source's listeners in the host's order (sampling
// started; per block: block started, new data, recording stopped; after stop). It is also the host document's
// sampling-state object.
#pragma once

#include "host/comobject.h"
#include "host/datasource.h"
#include "host/document.h"
#include "sdk/sampling.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace host {

class DocumentSampler final : public IHostSampling, private RefCounted {
public:
    // A sampler into `target`'s document, with one reference for the caller.
    static platform::ComPtr<DocumentSampler> Create(platform::ComPtr<DataSource> target);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IHostSampling: StartSampling starts a run (no block yet); StopSampling ends an open block and the run.
    HRESULT GetSamplingState(DWORD reserved, VARIANT_BOOL* sampling) override;
    HRESULT StopSampling() override;
    HRESULT StartSampling(double delay) override;

    // What the runs replay: the recording's blocks in order, `step` samples (at least 1) per data notice. The
    // target takes the recording's channels when it has none; otherwise their counts must agree.
    void SetRecording(std::shared_ptr<const Document> recording, LONG step);
    void SetStep(LONG step) { step_ = std::max<LONG>(step, 1); }
    // Whether the blocks are kept in the document (the block flag of the block notice); true unless set.
    void SetRecorded(bool recorded) { recorded_ = recorded; }

    bool IsSampling() const { return sampling_; }
    // The run's steps, each false (and nothing told) when it is out of order or nothing is left to replay.
    bool Start();
    bool BeginBlock();
    // Appends the next step of the open block; the samples appended (0 at the block's end: nothing is told).
    LONG Step();
    bool EndBlock();
    bool Stop();
    // A whole run over every block that is left.
    void ReplayAll();
    // The blocks of the recording not replayed yet.
    int BlocksLeft() const;
    const std::vector<std::string>& Told() const { return told_; }

private:
    explicit DocumentSampler(platform::ComPtr<DataSource> target) : target_(std::move(target)) {}

    platform::ComPtr<DataSource> target_;
    std::shared_ptr<const Document> recording_;
    LONG step_ = 1;
    bool recorded_ = true;
    bool sampling_ = false;
    int nextBlock_ = 0; // in the recording
    int openBlock_ = -1; // in the target, while a block is open
    LONG replayed_ = 0;  // samples of the open block so far
    std::vector<std::string> told_;
};

} // namespace host
