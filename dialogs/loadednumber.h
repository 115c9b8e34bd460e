// A number that an edit shows rounded: while the edit still shows the text it was loaded as, the number is the
// loaded one with all its digits, so that a page which transfers what the user did not change stores it unchanged.
#pragma once

#include <string>
#include <utility>

namespace CX {

class LoadedNumber {
public:
    // The edit now shows `text` for `value`.
    void Load(std::u16string text, double value)
    {
        text_ = std::move(text);
        value_ = value;
        loaded_ = true;
    }
    // The edit shows a value for another reason (a slider or spinner step): its text is read from now on.
    void Forget() { loaded_ = false; }
    // The loaded value while `text` is the loaded text, else what `read` makes of the text.
    template <class Read>
    double Value(const std::u16string& text, Read&& read) const
    {
        return loaded_ && text == text_ ? value_ : read();
    }

private:
    std::u16string text_;
    double value_ = 0.0;
    bool loaded_ = false;
};

} // namespace CX
