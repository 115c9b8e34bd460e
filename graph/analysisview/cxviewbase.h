// The base of the module's two views: a ViewBase that keeps the analysis document and the view's host object,
// answers the host's copy, print and print preview commands, puts the view on the clipboard as a picture, and
// fixes what each view supplies: its title, its refresh and its drawing into a device context.
#pragma once

#include "frame/views.h"
#include "platform/owl/clipboard.h"
#include "sdk/printing.h"

namespace CX::Doc {
class CXDoc;
}

class CXViewBase : public ViewBase {
    CAF_DECLARE_MESSAGE_MAP(CXViewBase, ViewBase)

public:
    CXViewBase(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, LPCWSTR title,
               owl::TModule* module, DWORD flags);
    // The document forgets the view, so that it never refreshes one that is gone.
    ~CXViewBase() override;
    void CleanupWindow() override;

    // Rebuilds the view from the document.
    virtual void Refresh() = 0;
    virtual void Idle() {}
    virtual KVO::String Title() = 0;
    // Draws the view into `rect` of `target`; `attribute` (or none) is the device that measures, as a printer
    // while previewing.
    virtual void DrawInto(HDC target, HDC attribute, const RECT& rect) = 0;
    // Formats the view puts on the clipboard before its picture.
    virtual void AddClipboardFormats(owl::TClipboard&) {}
    // The view as an enhanced metafile and as a metafile picture.
    virtual void CopyAsMetafile(owl::TClipboard& clipboard);

    // The analysis document of the view's host document, or null when the host document is not one.
    CX::Doc::CXDoc* Document() const { return document_; }
    IUnknown* HostViewObject() const { return HostView(); }
    // The host document's name; empty when it has none.
    KVO::String GetHostDocumentName() const;

    // The views find their document through CX::Doc::CXDoc::FromHostDocument unless a finder is set (tests).
    using DocumentFinder = CX::Doc::CXDoc* (*)(IHostDocument*);
    static void SetDocumentFinder(DocumentFinder finder);

    // The command ids of the host framework that the view answers.
    static DWORD ContentStateId() { return 0x80170001; }
    static DWORD PrintMessageId() { return 0x8001000B; }
    static DWORD CopyMessageId() { return 0x80010008; }
    static DWORD PrintPreviewMessageId() { return 0x8001000C; }

    HRESULT OnCopy();
    HRESULT OnPrint();
    HRESULT OnPrintPreview();

protected:
    // A string-table text of the view's module, loaded on first use into `cache` and kept.
    KVO::String CachedText(KVO::String& cache, UINT id, bool substitute) const;

private:
    void OnUpdateContent(ICommandState& state);
    void Print(bool preview);

    owl::TModule* textModule_;
    CX::Doc::CXDoc* document_ = nullptr;
    platform::ComPtr<IHostDocument> hostDocument_;
};

namespace CX {

// The host's copy-notice service, fetched once; null when the host has none.
ICopyNotifyService* GetCopyNotifyService();

// The picture frame of a client area in .01 mm, by the screen's size in millimetres and pixels; and the drawing
// rectangle of that frame on the reference device, or on the screen when the reference reports no size.
RECT MetafileFrame(HDC screen, SIZE client);
RECT MetafileDrawingRect(HDC reference, HDC screen, const RECT& frame);

} // namespace CX
