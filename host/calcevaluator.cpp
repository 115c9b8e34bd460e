#include "host/calcevaluator.h"
#include "host/formula.h"

#include "host/datasource.h"
#include "host/framework.h"
#include "host/hoststring.h"
#include "platform/win/codepage.h"
#include "sdk/datasource.h"
#include "sdk/hostobjects.h"

#include <algorithm>

#include <charconv>
#include <limits>
#include <span>

namespace host {

std::string CalcTextError::Describe() const { return message + " at character " + std::to_string(position); }

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::string Quoted(std::u16string_view text) { return "\"" + platform::Utf16ToUtf8(text) + "\""; }

// A recursive-descent reader of
//   expr := call | channel | number;  call := NAME "(" [expr {"," expr}] ")";
//   channel := ["r" | "v"] ("ch" | "channel") DIGITS
// with blanks anywhere between tokens and names in any letter case.
class Reader {
public:
    Reader(const Framework& framework, std::u16string_view text, const ChannelSorter& sorter)
        : framework_(framework), text_(text), sorter_(sorter)
    {
    }

    std::optional<CalcTextError> Read(CalcNode& root)
    {
        SkipBlanks();
        if (AtEnd()) {
            return Fail(1, "the calculation text is empty");
        }
        if (auto error = Expression(root, 0)) {
            return error;
        }
        if (root.kind != CalcNode::Kind::Call) {
            return Fail(root.position, "a calculation text is a call such as cappeakdet(ch1, 0.3)");
        }
        SkipBlanks();
        if (!AtEnd()) {
            return Fail(Here(), text_[at_] == u')' ? "unmatched \")\"" : "unexpected text after the calculation");
        }
        return std::nullopt;
    }

private:
    static constexpr int kMaxDepth = 64;

    bool AtEnd() const { return at_ >= text_.size(); }
    std::size_t Here() const { return at_ + 1; }
    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(text_[at_])) {
            ++at_;
        }
    }
    static std::optional<CalcTextError> Fail(std::size_t position, std::string message)
    {
        return CalcTextError{position, std::move(message)};
    }

    std::optional<CalcTextError> Expression(CalcNode& node, int depth)
    {
        SkipBlanks();
        node.position = Here();
        if (AtEnd()) {
            return Fail(Here(), "the text ends where an argument belongs");
        }
        const char16_t c = text_[at_];
        if (c == u',' || c == u')') {
            return Fail(Here(), "empty argument");
        }
        if (IsLetter(c)) {
            const std::size_t start = at_;
            while (!AtEnd() && (IsLetter(text_[at_]) || IsDigit(text_[at_]))) {
                ++at_;
            }
            const std::u16string_view name = text_.substr(start, at_ - start);
            SkipBlanks();
            if (!AtEnd() && text_[at_] == u'(') {
                return Call(node, name, depth);
            }
            return Channel(node, name);
        }
        if (IsDigit(c) || c == u'.' || c == u'-' || c == u'+') {
            return Number(node);
        }
        return Fail(Here(), "unexpected character " + Quoted(text_.substr(at_, 1)));
    }

    std::optional<CalcTextError> Number(CalcNode& node)
    {
        const std::size_t start = at_;
        if (text_[at_] == u'-' || text_[at_] == u'+') {
            ++at_;
        }
        const std::size_t mantissa = at_;
        while (!AtEnd() && IsDigit(text_[at_])) {
            ++at_;
        }
        if (!AtEnd() && text_[at_] == u'.') {
            ++at_;
            while (!AtEnd() && IsDigit(text_[at_])) {
                ++at_;
            }
        }
        const bool hasDigits = at_ > mantissa && !(at_ == mantissa + 1 && text_[mantissa] == u'.');
        if (hasDigits && !AtEnd() && (text_[at_] == u'e' || text_[at_] == u'E')) {
            std::size_t exponent = at_ + 1;
            if (exponent < text_.size() && (text_[exponent] == u'-' || text_[exponent] == u'+')) {
                ++exponent;
            }
            if (exponent < text_.size() && IsDigit(text_[exponent])) {
                at_ = exponent;
                while (!AtEnd() && IsDigit(text_[at_])) {
                    ++at_;
                }
            }
        }
        if (!hasDigits || (!AtEnd() && (IsLetter(text_[at_]) || IsDigit(text_[at_]) || text_[at_] == u'.'))) {
            while (!AtEnd() && !IsBlank(text_[at_]) && text_[at_] != u',' && text_[at_] != u')') {
                ++at_;
            }
            return Fail(start + 1, "not a number: " + Quoted(text_.substr(start, at_ - start)));
        }
        node.kind = CalcNode::Kind::Number;
        node.token = std::u16string(text_.substr(start, at_ - start));
        return std::nullopt;
    }

    std::optional<CalcTextError> Channel(CalcNode& node, std::u16string_view word)
    {
        const std::u16string lower = platform::AsciiLower(word);
        std::u16string_view rest = lower;
        ChannelRef ref;
        if (rest.size() > 1 && (rest[0] == u'r' || rest[0] == u'v') && rest[1] == u'c') {
            ref.raw = rest[0] == u'r';
            ref.isVirtual = rest[0] == u'v';
            rest.remove_prefix(1);
        }
        if (rest.starts_with(u"channel")) {
            rest.remove_prefix(7);
        } else if (rest.starts_with(u"ch")) {
            rest.remove_prefix(2);
        } else {
            rest = {};
        }
        if (rest.empty() || !std::all_of(rest.begin(), rest.end(), IsDigit)) {
            if (framework_.FindCalculation(word)) {
                return Fail(node.position, "the calculation " + Quoted(word) + " needs its arguments in parentheses");
            }
            return Fail(node.position, "unknown name " + Quoted(word));
        }
        std::uint64_t number = 0;
        for (char16_t digit : rest) {
            number = number * 10 + static_cast<unsigned>(digit - u'0');
            if (number > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max())) {
                return Fail(node.position, "channel number too large in " + Quoted(word));
            }
        }
        if (number == 0) {
            return Fail(node.position, "channels are numbered from 1: " + Quoted(word));
        }
        ref.channel = static_cast<LONG>(number - 1);
        if (sorter_ && sorter_(ref) == ChannelSort::Missing) {
            return Fail(node.position, "the recording has no channel " + Quoted(word));
        }
        node.kind = CalcNode::Kind::Channel;
        node.token = std::u16string(word);
        node.ref = ref;
        return std::nullopt;
    }

    bool IsEventSource(const CalcNode& node) const
    {
        if (node.kind == CalcNode::Kind::Call) {
            return true;
        }
        if (sorter_) {
            return sorter_(node.ref) == ChannelSort::Events;
        }
        return node.ref.isVirtual;
    }

    std::optional<CalcTextError> Call(CalcNode& node, std::u16string_view name, int depth)
    {
        if (depth >= kMaxDepth) {
            return Fail(node.position, "calculations nested too deeply");
        }
        const RegisteredClass* found = framework_.FindCalculation(name);
        if (!found) {
            return Fail(node.position, "unknown calculation " + Quoted(name));
        }
        platform::ComPtr<ICalcNumericParamsFuncClass> info;
        LONG paramCount = 0;
        LONG sourceCount = 0;
        DWORD kind1 = 0;
        DWORD kind2 = 0;
        IKVOString* registeredName = nullptr;
        DWORD id = 0;
        if (FAILED(found->object->QueryInterface(IID_ICalcNumericParamsFuncClass, info.OutVoid())) || !info ||
            FAILED(info->GetInfo(&registeredName, &id, &paramCount, &sourceCount, &kind1, &kind2))) {
            return Fail(node.position, "the calculation " + Quoted(name) + " does not describe its parameters");
        }
        TakeText(registeredName);
        node.kind = CalcNode::Kind::Call;
        node.token = std::u16string(name);
        node.classObject = found->object;
        node.sourceCount = sourceCount;
        node.leadingCount = (kind1 & CalcKind::kLeadingCount) != 0;

        ++at_; // "("
        SkipBlanks();
        if (!AtEnd() && text_[at_] == u')') {
            ++at_;
        } else {
            for (;;) {
                CalcNode argument;
                if (auto error = Expression(argument, depth + 1)) {
                    return error;
                }
                node.arguments.push_back(std::move(argument));
                SkipBlanks();
                if (AtEnd()) {
                    return Fail(Here(), "missing \")\" to close " + Quoted(name) + " (opened at character " +
                                            std::to_string(node.position + name.size()) + ")");
                }
                if (text_[at_] == u')') {
                    ++at_;
                    break;
                }
                if (text_[at_] != u',') {
                    return Fail(Here(), "expected \",\" or \")\" in the arguments of " + Quoted(name));
                }
                ++at_;
            }
        }

        const auto given = static_cast<LONG>(node.arguments.size());
        if (given > paramCount) {
            return Fail(node.arguments[static_cast<std::size_t>(paramCount)].position,
                        "too many arguments for " + Quoted(name) + " (at most " + std::to_string(paramCount) + ")");
        }
        if (given < sourceCount) {
            return Fail(node.position, Quoted(name) + " needs " + std::to_string(sourceCount) +
                                           (sourceCount == 1 ? " source" : " sources"));
        }
        std::u16string numbers;
        if (node.leadingCount) {
            numbers = platform::Utf8ToUtf16(std::to_string(sourceCount));
        }
        for (LONG i = 0; i < given; ++i) {
            const CalcNode& argument = node.arguments[static_cast<std::size_t>(i)];
            const bool isNumber = argument.kind == CalcNode::Kind::Number;
            if (i < sourceCount) {
                if (isNumber) {
                    return Fail(argument.position, "a number where a source of " + Quoted(name) + " belongs");
                }
                const DWORD mask = IsEventSource(argument) ? CalcKind::kEventSource : CalcKind::kSampleSource;
                if (info->TestSourceKind(i, mask) == S_FALSE) {
                    return Fail(argument.position, std::string("source ") + std::to_string(i + 1) + " of " +
                                                       Quoted(name) + " cannot be " +
                                                       (mask == CalcKind::kEventSource ? "events" : "samples"));
                }
            } else {
                if (!isNumber) {
                    return Fail(argument.position, "a source where a number of " + Quoted(name) + " belongs");
                }
                if (!numbers.empty()) {
                    numbers += u' ';
                }
                numbers += argument.token;
            }
        }
        node.parameterText = std::move(numbers);
        return std::nullopt;
    }

    const Framework& framework_;
    std::u16string_view text_;
    const ChannelSorter& sorter_;
    std::size_t at_ = 0;
};

// The arguments of a call that are its sources (calls and channels); the numbers follow them.
std::span<CalcNode> Sources(CalcNode& node)
{
    return std::span<CalcNode>(node.arguments).first(
        std::min(node.arguments.size(), static_cast<std::size_t>(std::max<LONG>(node.sourceCount, 0))));
}

std::span<const CalcNode> Sources(const CalcNode& node)
{
    return std::span<const CalcNode>(node.arguments).first(
        std::min(node.arguments.size(), static_cast<std::size_t>(std::max<LONG>(node.sourceCount, 0))));
}

void CollectRefs(const CalcNode& node, std::vector<ChannelRef>& refs)
{
    if (node.kind == CalcNode::Kind::Channel) {
        if (std::find(refs.begin(), refs.end(), node.ref) == refs.end()) {
            refs.push_back(node.ref);
        }
        return;
    }
    for (const CalcNode& argument : Sources(node)) {
        CollectRefs(argument, refs);
    }
}

// Creates the calculations bottom-up and gives each its numbers.
std::optional<CalcTextError> Instantiate(CalcNode& node, IUnknown* context)
{
    if (node.kind != CalcNode::Kind::Call) {
        return std::nullopt;
    }
    for (CalcNode& argument : Sources(node)) {
        if (auto error = Instantiate(argument, context)) {
            return error;
        }
    }
    platform::ComPtr<ICalcEnumClass2> factory;
    if (FAILED(node.classObject->QueryInterface(IID_ICalcEnumClass2, factory.OutVoid())) || !factory ||
        FAILED(factory->CreateInstance(context, node.instance.Out())) || !node.instance) {
        return CalcTextError{node.position, "the calculation " + Quoted(node.token) + " could not be created"};
    }
    platform::ComPtr<IKVOString> numbers = MakeString(node.parameterText);
    DWORD flags = 0;
    if (node.instance->Parse(numbers.Get(), &flags) != S_OK) {
        return CalcTextError{node.position, "the calculation " + Quoted(node.token) + " refused its parameters " +
                                                Quoted(node.parameterText)};
    }
    return std::nullopt;
}

// Gives every call of a tree that holds calculations a copy of its calculation; false when one cannot be copied.
bool CopyCalculations(CalcNode& node)
{
    if (node.kind != CalcNode::Kind::Call) {
        return true;
    }
    for (CalcNode& argument : Sources(node)) {
        if (!CopyCalculations(argument)) {
            return false;
        }
    }
    platform::ComPtr<ICalcEnum> copy;
    if (!node.instance || FAILED(node.instance->Clone(copy.Out())) || !copy) {
        return false;
    }
    node.instance = std::move(copy);
    return true;
}

template <class T>
HRESULT Forward(const platform::ComPtr<IEnumEventEx>& events, T&& call)
{
    if (!events) {
        return E_FAIL;
    }
    return call(events.Get());
}

} // namespace

std::optional<CalcTextError> ParseCalculationText(const Framework& framework, std::u16string_view text,
                                                  const ChannelSorter& sorter, CalcNode& root)
{
    root = CalcNode();
    Reader reader(framework, text, sorter);
    return reader.Read(root);
}

std::vector<ChannelRef> DistinctChannelRefs(const CalcNode& root)
{
    std::vector<ChannelRef> refs;
    CollectRefs(root, refs);
    return refs;
}

// The class object

HRESULT CalcEvaluatorClass::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICAFClassObject || iid == IID_ICalcEnumClass2) {
        return Answer(static_cast<ICalcEnumClass2*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT CalcEvaluatorClass::GetId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    *typeId = static_cast<DWORD>(framework_.KnownTypeId(CLSID_ChannelCalculation)) << 16;
    return S_OK;
}

HRESULT CalcEvaluatorClass::CreateInstance(IUnknown* context, ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    try {
        auto* evaluator = new CalcEvaluator(framework_, *this, context);
        *out = evaluator;
        evaluator->AddRef();
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The evaluator

CalcEvaluator::CalcEvaluator(Framework& framework, CalcEvaluatorClass& classObject, IUnknown* context)
    : framework_(framework), class_(classObject), context_(context)
{
    if (context) {
        context->QueryInterface(IID_IDataSource, source_.OutVoid());
    }
    platform::ComPtr<DataSource> own;
    if (source_ && SUCCEEDED(source_->QueryInterface(IID_HostDataSource, own.OutVoid())) && own) {
        own_ = own.Get(); // held through source_
    }
}

CalcEvaluator::~CalcEvaluator()
{
    if (!root_) {
        return;
    }
    ReleaseAll(*root_);
    rootEvents_.Reset();
    // A source that keeps calculations hands this tree to the next evaluator of the text, as a kept evaluator
    // binds its own calculations again for the next block.
    if (own_ && own_->KeepsCalculations() && HeldByTreeAlone(*root_)) {
        own_->KeepTree(evaluated_, context_.Get(), std::move(root_));
    }
}

bool CalcEvaluator::HeldByTreeAlone(const CalcNode& node)
{
    if (node.kind != CalcNode::Kind::Call) {
        return true;
    }
    if (!node.instance) {
        return false;
    }
    node.instance->AddRef();
    if (node.instance->Release() != 1) {
        return false;
    }
    const auto sources = Sources(node);
    return std::all_of(sources.begin(), sources.end(), HeldByTreeAlone);
}

HRESULT CalcEvaluator::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICalcEnum) {
        return Answer(static_cast<ICalcEnum*>(this), out);
    }
    if (iid == IID_IEnumEventEx && !formula_) {
        return Answer(static_cast<IEnumEventEx*>(this), out);
    }
    if (iid == IID_IEnumFloatEx && formula_) {
        // A sample formula's samples from the tick of the last SeekStart.
        auto* samples = new FormulaSamples(static_cast<ICalcEnum*>(this), formula_, formulaPeriod_, formulaStart_);
        return Answer(static_cast<IEnumFloatEx*>(samples), out);
    }
    return E_NOINTERFACE;
}

ChannelSort CalcEvaluator::Sort(const ChannelRef& ref) const
{
    if (!source_) {
        return ref.isVirtual ? ChannelSort::Events : ChannelSort::Samples;
    }
    if (own_) {
        return own_->Sort(ref);
    }
    LONG channels = 0;
    if (SUCCEEDED(source_->GetChannelCount(&channels)) && !ref.isVirtual && ref.channel >= channels) {
        return ChannelSort::Missing;
    }
    return ref.isVirtual ? ChannelSort::Events : ChannelSort::Samples;
}

HRESULT CalcEvaluator::GetClassId(DWORD* id) { return class_.GetId(id); }

HRESULT CalcEvaluator::GetClassObject(ICalcEnumClass2** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = &class_;
    class_.AddRef();
    return S_OK;
}

HRESULT CalcEvaluator::Parse(IKVOString* text, DWORD* flags)
{
    if (!text) {
        return E_POINTER;
    }
    try {
        const char16_t* units = text->GetText();
        std::u16string newText = units ? units : u"";
        // A sample formula in t gives samples, not events.
        if (auto formula = ParseFormula(newText)) {
            if (root_) {
                ReleaseAll(*root_);
            }
            root_.reset();
            rootEvents_.Reset();
            formula_ = std::move(formula);
            text_ = std::move(newText);
            lastError_.reset();
            return S_OK;
        }
        DataSource* const own = own_;
        std::u16string parsed = own ? own->CalculationBehind(newText) : newText;
        // A text made again for every block: when the source keeps calculations, the calculations of an evaluator
        // of the text that let go, or copies of those made for it before; else its parse, made once, and new
        // calculations.
        std::unique_ptr<CalcNode> root = own ? own->TakeTree(parsed, context_.Get()) : nullptr;
        const CalcNode* model = root || !own ? nullptr : own->CalculationModel(parsed, context_.Get());
        if (root) {
            lastError_.reset();
        } else if (model && CopyCalculations(*(root = std::make_unique<CalcNode>(*model)))) {
            lastError_.reset();
        } else {
            root = std::make_unique<CalcNode>();
            if (const CalcNode* known = own ? own->ParsedCalculation(parsed) : nullptr) {
                *root = *known;
                lastError_.reset();
            } else {
                *root = CalcNode();
                const ChannelSorter sorter = [this](const ChannelRef& ref) { return Sort(ref); };
                lastError_ = ParseCalculationText(framework_, parsed, sorter, *root);
                if (!lastError_ && own) {
                    own->RememberParse(parsed, *root);
                }
            }
            if (!lastError_) {
                lastError_ = Instantiate(*root, context_.Get());
            }
            if (!lastError_ && own && own->KeepsCalculations()) {
                CalcNode made = *root;
                if (CopyCalculations(made)) {
                    own->RememberModel(parsed, context_.Get(), std::move(made));
                }
            }
        }
        platform::ComPtr<IEnumEventEx> events;
        if (!lastError_ && (FAILED(root->instance->QueryInterface(IID_IEnumEventEx, events.OutVoid())) || !events)) {
            lastError_ = CalcTextError{root->position, "the calculation " + Quoted(root->token) + " gives no events"};
        }
        if (lastError_) {
            // A refused text leaves the evaluator as it was.
            return E_INVALIDARG;
        }
        if (root_) {
            ReleaseAll(*root_);
        }
        root_ = std::move(root);
        formula_.reset();
        rootEvents_ = events;
        text_ = std::move(newText);
        evaluated_ = std::move(parsed);
        // With a data source every reference opens its own enumerator; without one they share those handed over.
        refs_ = source_ ? std::vector<ChannelRef>{} : DistinctChannelRefs(*root_);
        if (flags) {
            *flags = 0x40000000;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CalcEvaluator::Write(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = MakeString(text_).Detach();
    return S_OK;
}

HRESULT CalcEvaluator::Clone(ICalcEnum** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    platform::ComPtr<ICalcEnum> copy;
    HRESULT hr = class_.CreateInstance(context_.Get(), copy.Out());
    if (FAILED(hr)) {
        return hr;
    }
    if (root_) {
        platform::ComPtr<IKVOString> text = MakeString(text_);
        hr = copy->Parse(text.Get(), nullptr);
        if (FAILED(hr)) {
            return hr;
        }
    }
    *out = copy.Detach();
    return S_OK;
}

HRESULT CalcEvaluator::OpenChannel(const ChannelRef& ref, LONG block, IUnknown** out)
{
    *out = nullptr;
    if (source_) {
        const DWORD kind = ref.isVirtual ? SourceKind::kVirtual : ref.raw ? SourceKind::kRaw : SourceKind::kContent;
        return source_->OpenEnum(kind | SourceKind::kOpen | SourceKind::kRecordTimeBase, ref.channel, 0, block,
                                 kEndOfBlockTick, 0, out);
    }
    // Without a data source: the caller's enumerator of this reference; a further use gets a copy of it.
    const auto found = std::find(refs_.begin(), refs_.end(), ref);
    const auto index = static_cast<std::size_t>(found - refs_.begin());
    if (found == refs_.end() || index >= given_.size() || !given_[index]) {
        return E_FAIL;
    }
    if (uses_[index]++ == 0) {
        *out = given_[index].Get();
        (*out)->AddRef();
        return S_OK;
    }
    platform::ComPtr<IEnumEventEx> events;
    if (FAILED(given_[index]->QueryInterface(IID_IEnumEventEx, events.OutVoid())) || !events) {
        return E_FAIL; // a sample cursor cannot be shared between two readers
    }
    return events->Clone(reinterpret_cast<IEnumEventEx**>(out));
}

HRESULT CalcEvaluator::Bind(CalcNode& node, LONG block, double tickPeriod, LONG flag)
{
    // The sources are held by the tree (calls) and by opened_ (channels) while the calculation takes them.
    constexpr std::size_t kInline = 8;
    IUnknown* inlineSources[kInline];
    std::vector<IUnknown*> manySources;
    const auto count = static_cast<std::size_t>(std::max<LONG>(node.sourceCount, 0));
    IUnknown** sources = inlineSources;
    if (count > kInline) {
        manySources.resize(count);
        sources = manySources.data();
    }
    for (std::size_t i = 0; i < count; ++i) {
        CalcNode& argument = node.arguments[i];
        if (argument.kind == CalcNode::Kind::Call) {
            const HRESULT hr = Bind(argument, block, tickPeriod, flag);
            if (FAILED(hr)) {
                return hr;
            }
            sources[i] = argument.instance.Get();
        } else {
            platform::ComPtr<IUnknown> opened;
            const HRESULT hr = OpenChannel(argument.ref, block, opened.Out());
            if (FAILED(hr) || !opened) {
                return FAILED(hr) ? hr : E_FAIL;
            }
            sources[i] = opened.Get();
            opened_.push_back(std::move(opened));
        }
    }
    return node.instance->SetSources(block, static_cast<LONG>(count), count ? sources : nullptr, nullptr, tickPeriod,
                                     flag);
}

HRESULT CalcEvaluator::SetSources(LONG block, LONG count, IUnknown** sources, IUnknown**, double tickPeriod,
                                  LONG flag)
{
    if (formula_) {
        formulaPeriod_ = tickPeriod;
        return S_OK;
    }
    if (!root_) {
        return E_UNEXPECTED;
    }
    if (count < 0 || (count > 0 && !sources)) {
        return E_INVALIDARG;
    }
    try {
        if (bound_) {
            ReleaseSources(); // the calculations would add the new sources to the old ones
        }
        given_.assign(sources, sources + count);
        uses_.assign(given_.size(), 0);
        opened_.reserve(8);
        bound_ = true;
        const HRESULT hr = Bind(*root_, block, tickPeriod, flag);
        if (FAILED(hr)) {
            ReleaseSources();
        }
        return hr;
    } catch (...) {
        ReleaseSources();
        return E_OUTOFMEMORY;
    }
}

HRESULT CalcEvaluator::SeekStart(LONG tick)
{
    if (formula_) {
        formulaStart_ = tick;
        return S_OK;
    }
    if (!root_) {
        return E_UNEXPECTED;
    }
    return root_->instance->SeekStart(tick);
}

void CalcEvaluator::ReleaseAll(CalcNode& node)
{
    if (node.kind != CalcNode::Kind::Call) {
        return;
    }
    if (node.instance) {
        node.instance->ReleaseSources();
    }
    for (CalcNode& argument : Sources(node)) {
        ReleaseAll(argument);
    }
}

HRESULT CalcEvaluator::ReleaseSources()
{
    if (root_) {
        ReleaseAll(*root_);
    }
    opened_.clear();
    given_.clear();
    uses_.clear();
    bound_ = false;
    return S_OK;
}

HRESULT CalcEvaluator::QueryFlags(DWORD a, DWORD b, DWORD* out)
{
    if (!root_) {
        return E_UNEXPECTED;
    }
    return root_->instance->QueryFlags(a, b, out);
}

HRESULT CalcEvaluator::Notify1(DWORD, DWORD) { return S_OK; }
HRESULT CalcEvaluator::Notify2(DWORD, DWORD) { return S_OK; }

HRESULT CalcEvaluator::GetTickPeriod(double* period, IKVOString** text)
{
    if (!root_) {
        return E_UNEXPECTED;
    }
    return root_->instance->GetTickPeriod(period, text);
}

HRESULT CalcEvaluator::GetCapabilities(DWORD* out)
{
    if (!root_) {
        return E_UNEXPECTED;
    }
    return root_->instance->GetCapabilities(out);
}

HRESULT CalcEvaluator::GetStatus(DWORD* out)
{
    if (!root_) {
        return E_UNEXPECTED;
    }
    return root_->instance->GetStatus(out);
}

HRESULT CalcEvaluator::GetSourceTimeBase(SourceTimeBase* out)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->GetSourceTimeBase(out); });
}

HRESULT CalcEvaluator::Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) {
        return events->Next(bufferBytes, endTick, buffer, count, nextPosition);
    });
}

HRESULT CalcEvaluator::Find(LONG direction, LONG from, LONG low, LONG high)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->Find(direction, from, low, high); });
}

HRESULT CalcEvaluator::GetPosition(LONG* tick)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->GetPosition(tick); });
}

HRESULT CalcEvaluator::Skip(LONG count, LONG* skipped)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->Skip(count, skipped); });
}

HRESULT CalcEvaluator::Clone(IEnumEventEx** out)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->Clone(out); });
}

HRESULT CalcEvaluator::GetEventSize(LONG* bytes)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->GetEventSize(bytes); });
}

HRESULT CalcEvaluator::GetDrawType(DWORD* id)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->GetDrawType(id); });
}

HRESULT CalcEvaluator::GetExtension(IUnknown** out)
{
    return Forward(rootEvents_, [&](IEnumEventEx* events) { return events->GetExtension(out); });
}

} // namespace host
