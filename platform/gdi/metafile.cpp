// Metafiles as byte blocks: enhanced ones from their bytes, Windows ones converted from enhanced ones.
#include "platform/win/errors.h"
#include "platform/win/wingdi.h"

#include "platform/gdi/dc.h"
#include "platform/win/winuser.h"

#include <algorithm>
#include <map>
#include <cstring>
#include <set>
#include <vector>

namespace {
struct MetaFile {
    std::vector<BYTE> bytes;
    bool enhanced;
    HBITMAP picture = nullptr; // what was drawn, for metafiles made through a metafile DC
};

std::set<MetaFile*>& Live()
{
    static auto* live = new std::set<MetaFile*>;
    return *live;
}

MetaFile* Find(void* handle, bool enhanced)
{
    auto* file = static_cast<MetaFile*>(handle);
    return Live().count(file) && file->enhanced == enhanced ? file : nullptr;
}
MetaFile* Find(HENHMETAFILE handle) { return Find(handle, true); }
MetaFile* Find(HMETAFILE handle) { return Find(handle, false); }

MetaFile* Make(const BYTE* data, UINT size, bool enhanced)
{
    auto* file = new MetaFile{std::vector<BYTE>(data, data + size), enhanced};
    Live().insert(file);
    return file;
}

DWORD U32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }
LONG I32(const BYTE* p) { return static_cast<LONG>(U32(p)); }
WORD U16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

ENHMETAHEADER ReadHeader(const BYTE* p)
{
    ENHMETAHEADER h{};
    h.iType = U32(p);
    h.nSize = U32(p + 4);
    h.rclBounds = RECT{I32(p + 8), I32(p + 12), I32(p + 16), I32(p + 20)};
    h.rclFrame = RECT{I32(p + 24), I32(p + 28), I32(p + 32), I32(p + 36)};
    h.dSignature = U32(p + 40);
    h.nVersion = U32(p + 44);
    h.nBytes = U32(p + 48);
    h.nRecords = U32(p + 52);
    h.nHandles = U16(p + 56);
    h.sReserved = U16(p + 58);
    h.nDescription = U32(p + 60);
    h.offDescription = U32(p + 64);
    h.nPalEntries = U32(p + 68);
    h.szlDevice = SIZE{I32(p + 72), I32(p + 76)};
    h.szlMillimeters = SIZE{I32(p + 80), I32(p + 84)};
    return h;
}

void PutWord(std::vector<BYTE>& out, WORD value)
{
    out.push_back(static_cast<BYTE>(value & 0xFF));
    out.push_back(static_cast<BYTE>(value >> 8));
}

// A record: its size in 16-bit words (32 bits), its function, then its parameters.
void PutRecord(std::vector<BYTE>& out, WORD function, std::initializer_list<WORD> parameters)
{
    const DWORD words = 3 + static_cast<DWORD>(parameters.size());
    PutWord(out, static_cast<WORD>(words & 0xFFFF));
    PutWord(out, static_cast<WORD>(words >> 16));
    PutWord(out, function);
    for (WORD p : parameters) {
        PutWord(out, p);
    }
}

UINT CopyOut(const std::vector<BYTE>& bytes, UINT size, void* data)
{
    if (!data) {
        return static_cast<UINT>(bytes.size());
    }
    if (size < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return static_cast<UINT>(bytes.size());
}
}

HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data)
{
    if (!data || size < kEnhMetaHeaderBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ENHMETAHEADER header = ReadHeader(data);
    if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE || header.nSize < kEnhMetaHeaderBytes ||
        header.nBytes > size || header.nBytes < header.nSize) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return reinterpret_cast<HENHMETAFILE>(Make(data, header.nBytes, true));
}

UINT GetEnhMetaFileBits(HENHMETAFILE metafile, UINT size, BYTE* data)
{
    const MetaFile* file = Find(metafile);
    return file ? CopyOut(file->bytes, size, data) : 0;
}

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header)
{
    const MetaFile* file = Find(metafile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!header) {
        return sizeof(ENHMETAHEADER);
    }
    if (size < sizeof(ENHMETAHEADER)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    *header = ReadHeader(file->bytes.data());
    return sizeof(ENHMETAHEADER);
}

namespace {
BOOL Delete(MetaFile* file)
{
    if (!file) {
        return FALSE;
    }
    if (file->picture) {
        DeleteObject(file->picture);
    }
    Live().erase(file);
    delete file;
    return TRUE;
}
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) { return Delete(Find(metafile)); }

UINT GetWinMetaFileBits(HENHMETAFILE metafile, UINT size, BYTE* data, INT mapMode, HDC)
{
    const MetaFile* file = Find(metafile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const ENHMETAHEADER h = ReadHeader(file->bytes.data());
    std::vector<BYTE> body;
    PutRecord(body, 0x0103, {static_cast<WORD>(mapMode)});                                     // META_SETMAPMODE
    PutRecord(body, 0x020B, {static_cast<WORD>(h.rclBounds.top), static_cast<WORD>(h.rclBounds.left)}); // WINDOWORG
    PutRecord(body, 0x020C, {static_cast<WORD>(h.rclBounds.bottom - h.rclBounds.top),
                             static_cast<WORD>(h.rclBounds.right - h.rclBounds.left)}); // META_SETWINDOWEXT
    PutRecord(body, 0x0000, {});                                                          // end of file
    std::vector<BYTE> out;
    const DWORD words = static_cast<DWORD>((18 + body.size()) / 2);
    PutWord(out, 1);      // in memory
    PutWord(out, 9);      // header size in words
    PutWord(out, 0x0300); // version
    PutWord(out, static_cast<WORD>(words & 0xFFFF));
    PutWord(out, static_cast<WORD>(words >> 16));
    PutWord(out, 0); // objects
    PutWord(out, 5); // largest record in words
    PutWord(out, 0);
    PutWord(out, 0); // parameters (unused)
    out.insert(out.end(), body.begin(), body.end());
    return CopyOut(out, size, data);
}

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data)
{
    if (!data || size < 18 || U16(data + 2) != 9) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return reinterpret_cast<HMETAFILE>(Make(data, size, false));
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, LPVOID data)
{
    const MetaFile* file = Find(metafile);
    return file ? CopyOut(file->bytes, size, data) : 0;
}

BOOL DeleteMetaFile(HMETAFILE metafile) { return Delete(Find(metafile)); }

// Metafile DCs: the drawing is kept as a picture at the reference device's resolution, white where nothing was
// drawn, and played back by stretching it into the target rectangle.
namespace {
struct Recording {
    HBITMAP picture;
    HGDIOBJ previous;
    RECT frame;     // .01 mm
    SIZE device;    // the reference device's pixels
    SIZE millimetres;
};

std::map<HDC, Recording>& Recordings()
{
    static auto* recordings = new std::map<HDC, Recording>;
    return *recordings;
}

void PutDword(std::vector<BYTE>& out, DWORD value)
{
    PutWord(out, static_cast<WORD>(value & 0xFFFF));
    PutWord(out, static_cast<WORD>(value >> 16));
}
} // namespace

HDC CreateEnhMetaFileW(HDC reference, LPCWSTR, const RECT* frame, LPCWSTR)
{
    HDC screen = reference ? nullptr : GetDC(nullptr);
    HDC ref = reference ? reference : screen;
    const SIZE device{GetDeviceCaps(ref, HORZRES), GetDeviceCaps(ref, VERTRES)};
    const SIZE millimetres{GetDeviceCaps(ref, HORZSIZE), GetDeviceCaps(ref, VERTSIZE)};
    const int dpi = GetDeviceCaps(ref, LOGPIXELSX);
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    if (!frame || millimetres.cx <= 0 || millimetres.cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int width = std::max(1, MulDiv(frame->right - frame->left, device.cx, millimetres.cx * 100));
    const int height = std::max(1, MulDiv(frame->bottom - frame->top, device.cy, millimetres.cy * 100));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP picture = CreateBitmap(width, height, 1, 32, nullptr);
    HGDIOBJ previous = SelectObject(dc, picture);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (gdi::Dc* state = gdi::LookupDc(dc)) {
        state->dpi = dpi;
    }
    Recordings()[dc] = Recording{picture, previous, *frame, device, millimetres};
    return dc;
}

HENHMETAFILE CloseEnhMetaFile(HDC dc)
{
    const auto found = Recordings().find(dc);
    if (found == Recordings().end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const Recording recording = found->second;
    Recordings().erase(found);
    SelectObject(dc, recording.previous);
    DeleteDC(dc);
    BITMAP info{};
    GetObjectW(recording.picture, sizeof info, &info);
    std::vector<BYTE> bytes;
    PutDword(bytes, EMR_HEADER);
    PutDword(bytes, kEnhMetaHeaderBytes);
    for (LONG v : std::initializer_list<LONG>{0, 0, info.bmWidth - 1, info.bmHeight - 1}) {
        PutDword(bytes, static_cast<DWORD>(v));
    }
    for (LONG v : std::initializer_list<LONG>{recording.frame.left, recording.frame.top, recording.frame.right,
                                              recording.frame.bottom}) {
        PutDword(bytes, static_cast<DWORD>(v));
    }
    PutDword(bytes, ENHMETA_SIGNATURE);
    PutDword(bytes, 0x10000);                  // version
    PutDword(bytes, kEnhMetaHeaderBytes + 20); // header and end record
    PutDword(bytes, 2);                        // records
    PutWord(bytes, 1);                         // handles
    PutWord(bytes, 0);
    PutDword(bytes, 0); // no description
    PutDword(bytes, 0);
    PutDword(bytes, 0); // palette entries
    PutDword(bytes, static_cast<DWORD>(recording.device.cx));
    PutDword(bytes, static_cast<DWORD>(recording.device.cy));
    PutDword(bytes, static_cast<DWORD>(recording.millimetres.cx));
    PutDword(bytes, static_cast<DWORD>(recording.millimetres.cy));
    PutDword(bytes, 14); // EMR_EOF
    PutDword(bytes, 20);
    PutDword(bytes, 0);
    PutDword(bytes, 16);
    PutDword(bytes, 20);
    MetaFile* file = Make(bytes.data(), static_cast<UINT>(bytes.size()), true);
    file->picture = recording.picture;
    return reinterpret_cast<HENHMETAFILE>(file);
}

BOOL PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* rect)
{
    const MetaFile* file = Find(metafile);
    if (!file || !rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!file->picture) {
        return TRUE; // made from bytes: nothing drawn to play
    }
    BITMAP info{};
    GetObjectW(file->picture, sizeof info, &info);
    HDC source = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(source, file->picture);
    const BOOL done = StretchBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, source,
                                 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    return done;
}
