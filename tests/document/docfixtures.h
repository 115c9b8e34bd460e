// What the document tests share: one started stand-in host for the program, host documents with and without the
// Loopmetry extension, settings containers, and byte and text helpers.
#pragma once

#include "document/paramcatalogue.h"
#include "document/settingsset.h"
#include "foundation/binstream.h"
#include "host/host.h"
#include "host/loopmetry.h"
#include "../frame/sharedhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace doctest {

// A host document's site; with `extension` it holds a Loopmetry object whose calls go to `log`.
inline platform::ComPtr<IDocumentSite> MakeHostDocument(bool extension, host::CallLog* log = nullptr)
{
    platform::ComPtr<ILMDocExtension> lm;
    if (extension) {
        lm = platform::ComPtr<ILMDocExtension>(new host::LMDocExtension(log));
    }
    return platform::ComPtr<IDocumentSite>(new host::LMDocumentSite(::SharedHost().GetFramework(), lm.Get()));
}

inline const CX::ParamCatalogue& Catalogue()
{
    static const CX::ParamCatalogue catalogue;
    return catalogue;
}

// A container whose source channel has a group.
inline void SelectChannel(CX::Doc::SettingsSet& settings, std::int32_t channel, IUnknown* hostDocument = nullptr)
{
    settings.SetLong(2001, channel);
    settings.AddChannel(channel, -1, hostDocument);
}

// Sets any setting from its classic text (there is no typed setter for every kind).
inline void SetText(CX::Doc::SettingsSet& settings, std::int32_t id, const char16_t* text)
{
    CX::Doc::CXSetting* setting = settings.Find(id);
    ASSERT_NE(setting, nullptr) << id;
    setting->FromText(KVO::String(text), true);
}

inline std::string Utf8(std::u16string_view text)
{
    std::string out;
    for (const char16_t unit : text) {
        out += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return out;
}

using Bytes = std::string;

inline Bytes Written(const CX::Doc::SettingsSet& settings)
{
    std::stringbuf buffer;
    {
        KVO::BinOStream out(&buffer);
        settings.Write(out);
    }
    return buffer.str();
}

inline void ReadInto(CX::Doc::SettingsSet& settings, const Bytes& bytes)
{
    std::stringbuf buffer(bytes);
    KVO::BinIStream in(&buffer);
    settings.Read(in);
}

inline std::string GoldenPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/golden/" + name; }

// Compares with the golden file; UPDATE_GOLDEN=1 rewrites it instead.
inline void CheckGolden(const std::string& name, const std::string& actual)
{
    const std::string path = GoldenPath(name);
    if (std::getenv("UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden " << path;
    const std::string expected{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (expected != actual) {
        std::ofstream(path + ".actual", std::ios::binary) << actual;
    }
    EXPECT_TRUE(expected == actual) << name << " differs; written beside it as .actual";
}

} // namespace doctest
