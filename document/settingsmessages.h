// The caption and text of the balloon that marks an invalid per-channel setting in the settings dialogs.
#pragma once

#include <cstdint>
#include <string>

namespace CX::Doc {

struct SettingsMessage {
    std::u16string Caption;
    std::u16string Text;

    void Clear()
    {
        Caption.clear();
        Text.clear();
    }
};

struct SettingsMessages {
    // The pair of the setting id; "invalid caption" and "invalid text" for an id without one.
    static void Lookup(std::int32_t id, SettingsMessage& message);
};

} // namespace CX::Doc
