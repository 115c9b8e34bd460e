#include "platform/win/clipboard.h"

#include "platform/win/wingdi.h"

#include <algorithm>
#include <utility>

namespace {
struct Clipboard {
    bool open = false;
    bool locked = false;
    HWND owner = nullptr;
    std::vector<std::pair<UINT, HANDLE>> formats;
};

Clipboard& Board()
{
    static auto* board = new Clipboard;
    return *board;
}

void FreeData(UINT format, HANDLE data)
{
    if (!data) {
        return;
    }
    if (format == CF_ENHMETAFILE) {
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(data));
        return;
    }
    if (format == CF_METAFILEPICT) {
        if (auto* picture = static_cast<METAFILEPICT*>(GlobalLock(data))) {
            DeleteMetaFile(picture->hMF);
            GlobalUnlock(data);
        }
    }
    GlobalFree(data);
}
} // namespace

BOOL OpenClipboard(HWND owner)
{
    Clipboard& board = Board();
    if (board.open || board.locked) {
        return FALSE;
    }
    board.open = true;
    board.owner = owner;
    return TRUE;
}

BOOL CloseClipboard()
{
    Clipboard& board = Board();
    const bool wasOpen = board.open;
    board.open = false;
    return wasOpen;
}

BOOL EmptyClipboard()
{
    Clipboard& board = Board();
    if (!board.open) {
        return FALSE;
    }
    for (auto& [format, data] : board.formats) {
        FreeData(format, data);
    }
    board.formats.clear();
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    Clipboard& board = Board();
    if (!board.open) {
        return nullptr;
    }
    auto found = std::find_if(board.formats.begin(), board.formats.end(),
                              [format](const auto& entry) { return entry.first == format; });
    if (found != board.formats.end()) {
        FreeData(found->first, found->second);
        found->second = data;
    } else {
        board.formats.emplace_back(format, data);
    }
    return data;
}

HANDLE GetClipboardData(UINT format)
{
    for (const auto& [f, data] : Board().formats) {
        if (f == format) {
            return data;
        }
    }
    return nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) { return GetClipboardData(format) != nullptr; }

UINT EnumClipboardFormats(UINT format)
{
    const auto& formats = Board().formats;
    if (format == 0) {
        return formats.empty() ? 0 : formats.front().first;
    }
    for (std::size_t i = 0; i + 1 < formats.size(); ++i) {
        if (formats[i].first == format) {
            return formats[i + 1].first;
        }
    }
    return 0;
}

int CountClipboardFormats() { return static_cast<int>(Board().formats.size()); }

namespace platform {
void LockClipboard(bool locked) { Board().locked = locked; }

std::vector<UINT> ClipboardFormats()
{
    std::vector<UINT> formats;
    for (const auto& entry : Board().formats) {
        formats.push_back(entry.first);
    }
    return formats;
}
} // namespace platform
