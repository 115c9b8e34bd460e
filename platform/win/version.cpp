#include "platform/win/version.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

constexpr WORD kBinary = 0;
constexpr WORD kText = 1;

// ---- building

struct Node {
    std::u16string key;
    std::vector<std::byte> value;
    WORD type = kBinary;
    WORD valueLength = 0; // bytes for binary values, units (with the NUL) for texts
    std::vector<Node> children;
};

void PutWord(std::vector<std::byte>& out, WORD word)
{
    out.push_back(static_cast<std::byte>(word & 0xFF));
    out.push_back(static_cast<std::byte>(word >> 8));
}

void PutDword(std::vector<std::byte>& out, DWORD dword)
{
    PutWord(out, static_cast<WORD>(dword & 0xFFFF));
    PutWord(out, static_cast<WORD>(dword >> 16));
}

void PutText(std::vector<std::byte>& out, std::u16string_view text)
{
    for (const char16_t unit : text) {
        PutWord(out, unit);
    }
    PutWord(out, 0);
}

void Align(std::vector<std::byte>& out)
{
    while (out.size() % 4 != 0) {
        out.push_back(std::byte{0});
    }
}

std::vector<std::byte> Serialise(const Node& node)
{
    std::vector<std::byte> out(6);
    PutText(out, node.key);
    Align(out);
    out.insert(out.end(), node.value.begin(), node.value.end());
    for (const Node& child : node.children) {
        Align(out);
        const std::vector<std::byte> bytes = Serialise(child);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::byte> header;
    PutWord(header, static_cast<WORD>(out.size()));
    PutWord(header, node.valueLength);
    PutWord(header, node.type);
    std::copy(header.begin(), header.end(), out.begin());
    return out;
}

Node TextNode(std::u16string_view key, std::u16string_view value)
{
    Node node{std::u16string(key), {}, kText, static_cast<WORD>(value.size() + 1), {}};
    PutText(node.value, value);
    return node;
}

// ---- reading

WORD WordAt(const std::byte* block, std::size_t at)
{
    return static_cast<WORD>(std::to_integer<unsigned>(block[at]) | (std::to_integer<unsigned>(block[at + 1]) << 8));
}

struct NodeView {
    std::size_t end;
    std::u16string key;
    std::size_t valueAt;
    WORD valueLength;
    std::size_t valueBytes;
    std::size_t childrenAt;
};

std::size_t Aligned(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

// The node at `at`, when it lies whole inside [at, limit).
std::optional<NodeView> ReadNode(const std::byte* block, std::size_t at, std::size_t limit)
{
    if (at + 6 > limit) {
        return std::nullopt;
    }
    const std::size_t length = WordAt(block, at);
    if (length < 6 || at + length > limit) {
        return std::nullopt;
    }
    NodeView node{at + length, {}, 0, WordAt(block, at + 2), 0, 0};
    std::size_t cursor = at + 6;
    for (;; cursor += 2) {
        if (cursor + 2 > node.end) {
            return std::nullopt;
        }
        const WORD unit = WordAt(block, cursor);
        if (unit == 0) {
            break;
        }
        node.key += static_cast<char16_t>(unit);
    }
    node.valueAt = Aligned(cursor + 2);
    node.valueBytes = WordAt(block, at + 4) == kText ? std::size_t{node.valueLength} * 2 : node.valueLength;
    if (node.valueAt + node.valueBytes > node.end) {
        return std::nullopt;
    }
    node.childrenAt = Aligned(node.valueAt + node.valueBytes);
    return node;
}

bool SameKey(std::u16string_view a, std::u16string_view b)
{
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
               return fold(x) == fold(y);
           });
}

} // namespace

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length)
{
    if (!block || !subBlock || !buffer || !length) {
        return FALSE;
    }
    const auto* bytes = static_cast<const std::byte*>(block);
    std::optional<NodeView> node = ReadNode(bytes, 0, WordAt(bytes, 0));
    std::u16string_view path(subBlock);
    while (node) {
        while (path.starts_with(u'\\')) {
            path.remove_prefix(1);
        }
        if (path.empty()) {
            break;
        }
        const std::u16string_view part = path.substr(0, path.find(u'\\'));
        path.remove_prefix(part.size());
        std::optional<NodeView> found;
        for (std::size_t at = node->childrenAt; !found && at < node->end;) {
            const std::optional<NodeView> child = ReadNode(bytes, at, node->end);
            if (!child) {
                break;
            }
            if (SameKey(child->key, part)) {
                found = child;
            }
            at = Aligned(child->end);
        }
        node = found;
    }
    if (!node || node->valueBytes == 0) {
        return FALSE;
    }
    *buffer = const_cast<std::byte*>(bytes + node->valueAt);
    *length = node->valueLength;
    return TRUE;
}

namespace platform {

std::u16string VersionTableName(WORD language, WORD codePage)
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text(8, u'0');
    DWORD value = MAKELONG(codePage, language);
    for (int i = 7; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

std::vector<std::byte> BuildVersionResource(const VS_FIXEDFILEINFO& fixed, LANGID language, WORD codePage,
                                            const std::vector<VersionText>& texts)
{
    Node root{u"VS_VERSION_INFO", {}, kBinary, sizeof(VS_FIXEDFILEINFO), {}};
    for (const DWORD field :
         {fixed.dwSignature, fixed.dwStrucVersion, fixed.dwFileVersionMS, fixed.dwFileVersionLS,
          fixed.dwProductVersionMS, fixed.dwProductVersionLS, fixed.dwFileFlagsMask, fixed.dwFileFlags,
          fixed.dwFileOS, fixed.dwFileType, fixed.dwFileSubtype, fixed.dwFileDateMS, fixed.dwFileDateLS}) {
        PutDword(root.value, field);
    }
    Node table{VersionTableName(language, codePage), {}, kText, 0, {}};
    for (const VersionText& text : texts) {
        table.children.push_back(TextNode(text.key, text.value));
    }
    root.children.push_back(Node{u"StringFileInfo", {}, kText, 0, {std::move(table)}});
    Node translation{u"Translation", {}, kBinary, 4, {}};
    PutWord(translation.value, language);
    PutWord(translation.value, codePage);
    root.children.push_back(Node{u"VarFileInfo", {}, kText, 0, {std::move(translation)}});
    return Serialise(root);
}

} // namespace platform
