// The clipboard: one process-wide list of formats in the order they were put on it. The clipboard owns the data
// handed to it: enhanced metafiles, metafile pictures (with their metafile) and global blocks are freed when it
// is emptied.
#pragma once

#include "platform/win/globalmem.h"
#include "platform/win/windef.h"

#include <vector>

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_METAFILEPICT = 3;
inline constexpr UINT CF_UNICODETEXT = 13;
inline constexpr UINT CF_ENHMETAFILE = 14;

BOOL OpenClipboard(HWND owner); // FALSE while it is open already or locked (below)
BOOL CloseClipboard();
BOOL EmptyClipboard();
HANDLE SetClipboardData(UINT format, HANDLE data); // needs the clipboard open; replaces the format's data
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
UINT EnumClipboardFormats(UINT format); // 0 starts, 0 ends
int CountClipboardFormats();

namespace platform {
// Another program holds the clipboard: OpenClipboard fails while set.
void LockClipboard(bool locked);
// The formats on the clipboard, in the order they were put there.
std::vector<UINT> ClipboardFormats();
} // namespace platform
