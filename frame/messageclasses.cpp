#include "frame/messageclasses.h"

#include "frame/document.h"

#include <string>

namespace KVO {

namespace {

constexpr std::u16string_view kNameLabel = u"Name:        ";
constexpr std::u16string_view kDescriptionLabel = u"Description: ";
constexpr std::u16string_view kParametersLabel = u"Parameters:  ";
constexpr std::u16string_view kIndent = u"             ";

std::u16string ReplaceAll(std::u16string text, std::u16string_view what, std::u16string_view with)
{
    for (std::size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

// One parameter: its name, its type and its description, cleaned for display.
struct Parameter {
    std::u16string name;
    std::u16string type;
    std::u16string description;
};

std::vector<Parameter> ParametersOf(const String& text)
{
    std::vector<Parameter> parameters;
    if (text.IsEmpty()) {
        return parameters;
    }
    const std::vector<String> parts = SplitBracketed(text, u"{{", u"}}");
    if (parts.empty() || parts.size() % 3 != 0) {
        return parameters;
    }
    for (std::size_t i = 0; i < parts.size(); i += 3) {
        parameters.push_back({std::u16string(parts[i].View()), ReplaceAll(std::u16string(parts[i + 1].View()), u";", u","),
                              ReplaceAll(std::u16string(parts[i + 2].View()), u";;", u",")});
    }
    return parameters;
}

std::u16string ValueText(const VARIANT& value)
{
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) {
        return {};
    }
    VARIANT text;
    VariantInit(&text);
    std::u16string result;
    if (SUCCEEDED(VariantChangeTypeEx(&text, &value, 1033, 0, VT_BSTR)) && text.bstrVal) {
        result.assign(text.bstrVal, SysStringLen(text.bstrVal));
    }
    VariantClear(&text);
    return result;
}

std::u16string ArrayText(const SAFEARRAY* array)
{
    LONG low = 0;
    LONG high = -1;
    VARTYPE type = VT_EMPTY;
    if (!array || FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high)) ||
        FAILED(SafeArrayGetVartype(array, &type))) {
        return {};
    }
    std::u16string text;
    for (LONG index = low; index <= high; ++index) {
        VARIANT element;
        VariantInit(&element);
        if (type == VT_VARIANT) {
            SafeArrayGetElement(array, &index, &element);
        } else if (SUCCEEDED(SafeArrayGetElement(array, &index, &element.llVal))) {
            element.vt = type;
        }
        if (index > low) {
            text += u", ";
        }
        text += ValueText(element);
        VariantClear(&element);
    }
    return text;
}

std::u16string Render(int kind, const VARIANT& value)
{
    switch (kind) {
    case MsgIdMessageClassObject::kBool:
        if (value.vt == VT_BOOL) {
            return value.boolVal ? u"true" : u"false";
        }
        return ValueText(value);
    case MsgIdMessageClassObject::kSafeArray:
        // The elements, in index order; a value that is no array counts as an array of itself.
        return u" Begin " + ((value.vt & VT_ARRAY) ? ArrayText(value.parray) : ValueText(value)) + u" End ";
    default:
        return ValueText(value);
    }
}

} // namespace

std::vector<String> SplitBracketed(const String& text, std::u16string_view open, std::u16string_view close)
{
    std::vector<String> pieces;
    const std::u16string_view all = text.View();
    if (all.empty()) {
        return pieces;
    }
    // A comma is inside a bracketed piece when an opening mark stands before it with no closing mark between.
    std::u16string piece;
    bool inside = false;
    for (std::size_t at = 0; at < all.size();) {
        const std::u16string_view rest = all.substr(at);
        if (!open.empty() && rest.starts_with(open)) {
            inside = true;
            at += open.size();
        } else if (inside && !close.empty() && rest.starts_with(close)) {
            inside = false;
            at += close.size();
        } else if (all[at] == u',') {
            if (inside) {
                piece += u", ";
            } else {
                pieces.emplace_back(piece);
                piece.clear();
            }
            ++at;
        } else {
            piece += all[at];
            ++at;
        }
    }
    pieces.emplace_back(piece);
    return pieces;
}

MsgIdMessageClassObjectRootImpl::MsgIdMessageClassObjectRootImpl(DWORD index, const String& name,
                                                                 const String& description, const String& parameters,
                                                                 DWORD flag1, DWORD flag2, const String& valueType)
    : index_(index), name_(name), description_(description), parameters_(parameters), flag1_(flag1), flag2_(flag2),
      valueType_(valueType)
{
}

MsgIdMessageClassObjectRootImpl::~MsgIdMessageClassObjectRootImpl()
{
    valueType_ = String();
    parameters_ = String();
    description_ = String();
    name_ = String();
}

int MsgIdMessageClassObject::ValueKind(const String& valueType)
{
    const std::u16string_view name = valueType.View();
    if (name == u"string") {
        return kString;
    }
    if (name == u"safearray") {
        return kSafeArray;
    }
    if (name == u"rect") {
        return kRect;
    }
    if (name == u"bool") {
        return kBool;
    }
    return kOther;
}

std::vector<String> MsgIdMessageClassObject::DescriptionLines(const MsgIdMessageClassObjectRootImpl& data)
{
    std::vector<String> lines;
    if (data.Name().IsEmpty()) {
        return lines;
    }
    lines.emplace_back(std::u16string(kNameLabel) + std::u16string(data.Name().View()));
    if (!data.Description().IsEmpty()) {
        lines.emplace_back(std::u16string(kDescriptionLabel) + std::u16string(data.Description().View()));
    }
    bool first = true;
    for (const Parameter& parameter : ParametersOf(data.Parameters())) {
        std::u16string line(first ? kParametersLabel : kIndent);
        line += parameter.name + u" (" + parameter.type + u"): " + parameter.description;
        lines.emplace_back(line);
        first = false;
    }
    return lines;
}

HRESULT MsgIdMessageClassObject::Describe(const MsgIdMessageClassObjectRootImpl& data, BSTR* name,
                                          IDescriptionWriter* writer, DWORD writerValue)
{
    if (name) {
        *name = nullptr;
        const HRESULT made = CAF::TextToBSTR(data.Name(), name);
        if (FAILED(made)) {
            return made;
        }
    }
    if (writer) {
        for (const String& line : DescriptionLines(data)) {
            // The writer takes its own reference when it keeps the line.
            IKVOString* handed = line.GetInterface();
            writer->WriteLine(handed, writerValue);
            handed->Release();
        }
    }
    return S_OK;
}

HRESULT MsgIdMessageClassObject::DescribeValue(const MsgIdMessageClassObjectRootImpl& data, IMessage* message,
                                               BSTR* text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    VARIANT value;
    VariantInit(&value);
    if (message) {
        message->GetValue(&value);
    }
    std::u16string result;
    const std::vector<Parameter> parameters = ParametersOf(data.Parameters());
    for (const Parameter& parameter : parameters) {
        if (!result.empty()) {
            result += u"; ";
        }
        result += parameter.name + u": " + Render(ValueKind(String(parameter.type)), value);
    }
    if (parameters.empty()) {
        result = Render(ValueKind(data.ValueType()), value);
    }
    VariantClear(&value);
    return CAF::TextToBSTR(String(result), text);
}

HRESULT MsgIdMessageClassObject::PutText(const String& text, BSTR* out)
{
    if (!out) {
        return E_POINTER;
    }
    SysFreeString(*out);
    *out = nullptr;
    return CAF::TextToBSTR(text, out);
}

HRESULT MsgIdMessageClassObject::MessageText(IMessage* message, BSTR* text)
{
    if (!text) {
        return E_FAIL;
    }
    DWORD flags = 0;
    if (!message || FAILED(message->GetFlags(&flags)) || !(flags & CAF::MessageFlag::kTargetsView)) {
        return S_OK;
    }
    IViewTargetMessage* target = nullptr;
    if (FAILED(message->QueryInterface(IID_IViewTargetMessage, reinterpret_cast<void**>(&target))) || !target) {
        return S_OK;
    }
    DWORD viewType = 0;
    const HRESULT asked = target->GetViewType(&viewType);
    target->Release();
    if (FAILED(asked)) {
        return S_OK;
    }
    std::u16string typeText;
    if (ITypeIdRegistry* registry = CAF::GetTypeIdRegistry()) {
        BSTR named = nullptr;
        if (SUCCEEDED(registry->GetTypeIdText(viewType, &named)) && named) {
            typeText.assign(named, SysStringLen(named));
        }
        SysFreeString(named);
    }
    std::u16string result = *text ? std::u16string(*text, SysStringLen(*text)) : std::u16string();
    if (!result.empty()) {
        result += u",";
    }
    result += u"CAFId,ViewType,\"" + typeText + u"\"";
    return PutText(String(result), text);
}

} // namespace KVO
