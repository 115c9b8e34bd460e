// The host's calculation evaluator: the class registered under the channel-calculation class id. It parses a
// calculation text such as "calcbase(ch1, cappeakdet(ch1, 0.3))", creates the module's calculations by name (each
// call one calculation, nested calls handed to their parent as event sources, every channel reference its own
// cursor) and shows the outermost calculation's events as its own.
#pragma once

#include "host/comobject.h"
#include "host/hostcalcclass.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct IDataSource;

namespace host {

class DataSource;
class Framework;
class Formula;

// A refused text: the 1-based character where the fault lies and what is wrong.
struct CalcTextError {
    std::size_t position = 0;
    std::string message;

    // "message at character N".
    std::string Describe() const;
};

// What a channel reference reads: samples, events, or nothing (no such channel).
enum class ChannelSort { Samples, Events, Missing };

struct ChannelRef {
    LONG channel = 0; // 0-based
    bool raw = false;
    bool isVirtual = false;
    friend bool operator==(const ChannelRef&, const ChannelRef&) = default;
};

using ChannelSorter = std::function<ChannelSort(const ChannelRef&)>;

// One node of a parsed text.
struct CalcNode {
    enum class Kind { Call, Channel, Number };
    Kind kind = Kind::Number;
    std::size_t position = 0; // 1-based character of the node's first token
    std::u16string token;     // the call's name or the number as written

    // Calls
    platform::ComPtr<IUnknown> classObject;
    LONG sourceCount = 0;
    bool leadingCount = false;
    std::vector<CalcNode> arguments;
    std::u16string parameterText; // the numbers, blank-separated, with the source count first when the class reads one
    platform::ComPtr<ICalcEnum> instance;

    // Channel references
    ChannelRef ref;
};

// Parses `text` against the calculations registered with the framework. Channel references are checked with
// `sorter` when one is given (a plain reference without one is taken for samples, a virtual one for events).
// Creates nothing.
std::optional<CalcTextError> ParseCalculationText(const Framework& framework, std::u16string_view text,
                                                  const ChannelSorter& sorter, CalcNode& root);

// The evaluator's class object: not registered by the module but kept by the host's framework under the type id of
// the channel-calculation class id.
class CalcEvaluatorClass final : public HostCalcClass {
public:
    explicit CalcEvaluatorClass(Framework& framework)
        : HostCalcClass(u"Channel Calculation", u"Evaluates calculation texts"), framework_(framework)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    HRESULT GetId(DWORD* typeId) override; // the type id of the channel-calculation class id
    // The context is the channel-data interface of a data source, or null; with a data source every channel
    // reference opens its own enumerator through it, without one the references share out the enumerators handed
    // to SetSources (one per distinct reference, in the order of their first appearance).
    HRESULT CreateInstance(IUnknown* context, ICalcEnum** out) override;

private:
    Framework& framework_;
};

// One evaluation of a text.
class CalcEvaluator final : public ICalcEnum, public IEnumEventEx, private RefCounted {
public:
    CalcEvaluator(Framework& framework, CalcEvaluatorClass& classObject, IUnknown* context);
    ~CalcEvaluator() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    // ICalcEnum
    HRESULT GetClassId(DWORD* id) override;
    HRESULT GetClassObject(ICalcEnumClass2** out) override;
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT Clone(ICalcEnum** out) override;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT QueryFlags(DWORD a, DWORD b, DWORD* out) override;
    HRESULT Notify1(DWORD a, DWORD b) override;
    HRESULT Notify2(DWORD a, DWORD b) override;
    HRESULT GetTickPeriod(double* period, IKVOString** text) override;
    HRESULT GetCapabilities(DWORD* out) override;
    HRESULT GetStatus(DWORD* out) override;
    // Serves ICalcEnum and IEnumEventEx alike (one signature): the outermost calculation's.
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override;
    void DeleteThis() override { delete this; }

    // IEnumEventEx: the outermost calculation's.
    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT Skip(LONG count, LONG* skipped) override;
    HRESULT Clone(IEnumEventEx** out) override;
    HRESULT GetEventSize(LONG* bytes) override;
    HRESULT GetDrawType(DWORD* id) override;
    HRESULT GetExtension(IUnknown** out) override;

    // Why the last Parse refused its text (empty after a successful one).
    const std::optional<CalcTextError>& LastError() const { return lastError_; }

private:
    HRESULT Bind(CalcNode& node, LONG block, double tickPeriod, LONG flag);
    HRESULT OpenChannel(const ChannelRef& ref, LONG block, IUnknown** out);
    void ReleaseAll(CalcNode& node);
    // True when no one but the tree holds any of its calculations.
    static bool HeldByTreeAlone(const CalcNode& node);
    ChannelSort Sort(const ChannelRef& ref) const;

    Framework& framework_;
    CalcEvaluatorClass& class_;
    platform::ComPtr<IUnknown> context_;
    platform::ComPtr<IDataSource> source_;
    DataSource* own_ = nullptr; // source_ when it is the host's own data source
    std::u16string text_;
    std::u16string evaluated_; // text_, or the text of the channel it names
    std::unique_ptr<CalcNode> root_;
    platform::ComPtr<IEnumEventEx> rootEvents_;
    // A sample formula instead of a calculation: its tick period and start.
    std::shared_ptr<const Formula> formula_;
    double formulaPeriod_ = 0.001;
    LONG formulaStart_ = 0;
    std::optional<CalcTextError> lastError_;
    // Without a data source: the enumerators handed over, by distinct reference, and how often each was used.
    std::vector<ChannelRef> refs_;
    std::vector<platform::ComPtr<IUnknown>> given_;
    std::vector<int> uses_;
    std::vector<platform::ComPtr<IUnknown>> opened_; // every source enumerator opened for the calculations
    bool bound_ = false;
};

// The channel references of a parsed text in the order of their first appearance, each once.
std::vector<ChannelRef> DistinctChannelRefs(const CalcNode& root);

} // namespace host
