#include "host/lmcustomize.h"

#include "platform/ui/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/winuser.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace host {

namespace {

using namespace CustomizeId;

struct Field {
    int id;
    const char16_t* label;
};
// The edits, with their labels, in their order on the dialog.
constexpr Field kNumberFields[] = {{kHeight, u"Minimum height:"},
                                   {kInterval, u"Minimum interval (ms):"},
                                   {kSmoothing, u"Smoothing (ms):"},
                                   {kNoiseWindow, u"Noise window (ms):"}};

ui::DialogTemplateData Template(const std::u16string& title)
{
    ui::DialogTemplateData data;
    data.cx = 220;
    data.cy = 176;
    data.caption = title;
    data.items = {
        {u"Static", u"Detect:", 0, 8, 10, 70, 10},
        {u"ComboBox", u"", kDirection, 82, 8, 130, 60, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST},
        {u"Button", u"Threshold in standard deviations of the noise", kThresholdInSD, 8, 28, 204, 12,
         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
        {u"Button", u"Detect on the smoothed derivative", kDerivative, 8, 44, 204, 12,
         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
        {u"Button", u"Allow peaks of zero height", kZeroHeight, 8, 60, 204, 12,
         WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX},
        {u"Button", u"OK", IDOK, 106, 154, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", IDCANCEL, 162, 154, 50, 14, WS_VISIBLE | WS_TABSTOP},
    };
    short y = 78;
    for (const Field& field : kNumberFields) {
        data.items.push_back({u"Static", field.label, 0, 8, static_cast<short>(y + 2), 100, 10});
        data.items.push_back({u"Edit", u"", field.id, 112, y, 100, 13, WS_VISIBLE | WS_TABSTOP | WS_BORDER});
        y = static_cast<short>(y + 18);
    }
    return data;
}

std::u16string Number(double value)
{
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::u16string(buffer, end);
}

std::optional<double> ReadNumber(HWND dialog, int id)
{
    char16_t text[64] = {};
    GetDlgItemTextW(dialog, id, text, 64);
    std::string ascii;
    for (const char16_t* c = text; *c; ++c) {
        if (*c > 0x7F) {
            return std::nullopt;
        }
        ascii += static_cast<char>(*c);
    }
    double value = 0.0;
    const auto done = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ascii.empty() || done.ec != std::errc() || done.ptr != ascii.data() + ascii.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct Session {
    LMDetection* detection;
    std::u16string title;
};

void Fill(HWND dialog, const LMDetection& d)
{
    HWND direction = GetDlgItem(dialog, kDirection);
    SendMessageW(direction, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Peaks above the baseline"));
    SendMessageW(direction, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Peaks below the baseline"));
    SendMessageW(direction, CB_SETCURSEL, d.detect.direction < 0 ? 1 : 0, 0);
    CheckDlgButton(dialog, kThresholdInSD, d.detect.thresholdInSD ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kDerivative, d.detect.transform == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, kZeroHeight, d.zeroHeightAllowed ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, kHeight, Number(d.detect.height).c_str());
    SetDlgItemTextW(dialog, kInterval, Number(d.detect.minInterval * 1000.0).c_str());
    SetDlgItemTextW(dialog, kSmoothing, Number(d.detect.smoothing * 1000.0).c_str());
    SetDlgItemTextW(dialog, kNoiseWindow, Number(d.detect.noiseWindow * 1000.0).c_str());
}

// The edited detection, or the field whose text is no valid value (the ranges the settings text accepts).
std::optional<LMDetection> Read(HWND dialog, const LMDetection& before, int& badField)
{
    LMDetection d = before;
    d.detect.direction = SendMessageW(GetDlgItem(dialog, kDirection), CB_GETCURSEL, 0, 0) == 1 ? -1 : 1;
    d.detect.thresholdInSD = IsDlgButtonChecked(dialog, kThresholdInSD) == BST_CHECKED;
    d.detect.transform = IsDlgButtonChecked(dialog, kDerivative) == BST_CHECKED ? 1 : 0;
    d.zeroHeightAllowed = IsDlgButtonChecked(dialog, kZeroHeight) == BST_CHECKED;
    const auto height = ReadNumber(dialog, kHeight);
    const auto interval = ReadNumber(dialog, kInterval);
    const auto smoothing = ReadNumber(dialog, kSmoothing);
    const auto window = ReadNumber(dialog, kNoiseWindow);
    if (!height || *height < 0.0) {
        badField = kHeight;
    } else if (!interval || *interval < 0.0) {
        badField = kInterval;
    } else if (!smoothing || *smoothing <= 0.0 || *smoothing > 10000.0) {
        badField = kSmoothing;
    } else if (!window || *window <= 0.0) {
        badField = kNoiseWindow;
    } else {
        d.detect.height = *height;
        d.detect.minInterval = *interval / 1000.0;
        d.detect.smoothing = *smoothing / 1000.0;
        d.detect.noiseWindow = *window / 1000.0;
        d.tag = 0.0; // edited by hand: no preset's any more
        return d;
    }
    return std::nullopt;
}

INT_PTR CustomizeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Fill(dialog, *reinterpret_cast<Session*>(lParam)->detection);
        return TRUE;
    }
    auto* session = reinterpret_cast<Session*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || !session) {
        return FALSE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (LOWORD(wParam) != IDOK) {
        return FALSE;
    }
    int badField = 0;
    if (const auto edited = Read(dialog, *session->detection, badField)) {
        *session->detection = *edited;
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    for (const Field& field : kNumberFields) {
        if (field.id == badField) {
            std::u16string label = field.label;
            label.pop_back(); // the colon
            MessageBoxW(dialog, (u"\"" + label + u"\" needs a number in its range.").c_str(), session->title.c_str(),
                        MB_OK | MB_ICONWARNING);
        }
    }
    SetFocus(GetDlgItem(dialog, badField));
    return TRUE;
}

} // namespace

bool RunCustomizeDialog(HWND owner, const std::u16string& title, LMDetection& detection)
{
    LMDetection edited = detection;
    Session session{&edited, title.empty() ? u"Customize Detection" : title};
    const auto bytes = ui::EncodeDialogTemplate(Template(session.title));
    const INT_PTR result = DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), owner,
                                                   CustomizeProc, reinterpret_cast<LPARAM>(&session));
    if (result != IDOK) {
        return false;
    }
    detection = edited;
    return true;
}

} // namespace host
