// OWL's clipboard object: opened for a window when made, closed when it goes.
#pragma once

#include "platform/win/clipboard.h"

namespace owl {

class TClipboard {
public:
    explicit TClipboard(HWND owner) : open_(::OpenClipboard(owner) != FALSE) {}
    ~TClipboard() { CloseClipboard(); }
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    bool IsOpen() const { return open_; }
    bool EmptyClipboard() { return open_ && ::EmptyClipboard(); }
    HANDLE SetClipboardData(UINT format, HANDLE data) { return open_ ? ::SetClipboardData(format, data) : nullptr; }
    void CloseClipboard()
    {
        if (open_) {
            ::CloseClipboard();
            open_ = false;
        }
    }

private:
    bool open_;
};

} // namespace owl
