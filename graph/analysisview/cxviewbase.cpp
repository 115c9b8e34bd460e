#include "graph/analysisview/cxviewbase.h"

#include "document/cxdoc.h"
#include "foundation/devicecontexts.h"
#include "foundation/resourcestring.h"
#include "foundation/xkvo.h"
#include "frame/hostservices.h"
#include "graph/analysisview/printout.h"
#include "sdk/cafframework.h"

#include <algorithm>
#include <mutex>

namespace {
CXViewBase::DocumentFinder& Finder()
{
    static CXViewBase::DocumentFinder finder = nullptr;
    return finder;
}
} // namespace

CAF::MessageMapEntry* CXViewBase::MessageMapEntries()
{
    using Map = CAF::MapOf<CXViewBase>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Update<&CXViewBase::OnUpdateContent>(&CXViewBase::ContentStateId),
        Map::Message<&CXViewBase::OnPrint>(&CXViewBase::PrintMessageId),
        Map::Message<&CXViewBase::OnCopy>(&CXViewBase::CopyMessageId),
        Map::Message<&CXViewBase::OnPrintPreview>(&CXViewBase::PrintPreviewMessageId),
        Map::End(),
    };
    return entries;
}

CXViewBase::CXViewBase(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, LPCWSTR title,
                       owl::TModule* module, DWORD flags)
    : ViewBase(parent, document, nullptr, hostView, title, module, flags), textModule_(module),
      hostDocument_(document)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    if (document) {
        document_ = Finder() ? Finder()(document) : CX::Doc::CXDoc::FromHostDocument(document);
    }
}

CXViewBase::~CXViewBase()
{
    if (document_ && !Finder()) {
        document_->DetachView(this);
    }
}

void CXViewBase::CleanupWindow()
{
    if (document_ && !Finder()) {
        document_->DetachView(this);
    }
    ViewBase::CleanupWindow();
}

void CXViewBase::SetDocumentFinder(DocumentFinder finder) { Finder() = finder; }

KVO::String CXViewBase::CachedText(KVO::String& cache, UINT id, bool substitute) const
{
    if (cache.IsEmpty()) {
        cache = KVO::LoadResourceString(textModule_ ? textModule_->GetHandle() : nullptr, id, substitute);
    }
    return cache;
}

KVO::String CXViewBase::GetHostDocumentName() const
{
    KVO::String name;
    if (hostDocument_) {
        KVO::StringOutParam out(name);
        if (FAILED(hostDocument_->GetViewName(reinterpret_cast<IKVOString**>(out.Slot())))) {
            return KVO::String();
        }
    }
    return name;
}

void CXViewBase::OnUpdateContent(ICommandState& state) { state.SetEnabled(HasContent() ? 0xFFFF : 0); }

HRESULT CXViewBase::OnCopy()
{
    if (ICopyNotifyService* notices = CX::GetCopyNotifyService()) {
        notices->NotifyCopy(0);
    }
    {
        owl::TClipboard clipboard(GetHandle());
        if (!clipboard.IsOpen()) {
            return S_OK;
        }
        clipboard.EmptyClipboard();
        AddClipboardFormats(clipboard);
        CopyAsMetafile(clipboard);
    }
    Refresh();
    return S_OK;
}

void CXViewBase::CopyAsMetafile(owl::TClipboard& clipboard)
{
    RECT client{};
    ::GetClientRect(GetHandle(), &client);
    owl::TScreenDC screen;
    const RECT frame = CX::MetafileFrame(screen, SIZE{client.right - client.left, client.bottom - client.top});
    std::unique_ptr<owl::TDC> printer = KVO::CreateDefaultPrinterDC();
    HDC reference = printer ? printer->GetHandle() : screen.GetHandle();
    if (GetDeviceCaps(reference, HORZSIZE) <= 0 || GetDeviceCaps(reference, VERTSIZE) <= 0) {
        reference = screen.GetHandle();
    }
    HDC metafileDc = CreateEnhMetaFileW(reference, nullptr, &frame, nullptr);
    if (!metafileDc) {
        return;
    }
    DrawInto(metafileDc, metafileDc, CX::MetafileDrawingRect(reference, screen, frame));
    HENHMETAFILE metafile = CloseEnhMetaFile(metafileDc);
    if (!metafile) {
        return;
    }
    HGLOBAL picture = KVO::EnhMetaFileToMetaFilePict(metafile, reference);
    clipboard.SetClipboardData(CF_ENHMETAFILE, metafile); // the clipboard owns it now
    if (picture) {
        clipboard.SetClipboardData(CF_METAFILEPICT, picture);
    }
}

HRESULT CXViewBase::OnPrint()
{
    Print(false);
    return S_OK;
}

HRESULT CXViewBase::OnPrintPreview()
{
    Print(true);
    return S_OK;
}

void CXViewBase::Print(bool preview)
{
    // Without an analysis document there is nothing to print for.
    if (!HasContent() || !document_ || !HostView()) {
        return;
    }
    platform::ComPtr<IHostFrame> frame;
    if (FAILED(HostView()->GetFrame(frame.Out())) || !frame) {
        return;
    }
    platform::ComPtr<IUnknown> serviceObject;
    platform::ComPtr<ICAFPrintService> service;
    if (FAILED(frame->GetPrintService(serviceObject.Out())) || !serviceObject ||
        FAILED(serviceObject->QueryInterface(IID_ICAFPrintService, service.OutVoid())) || !service) {
        return;
    }
    platform::ComPtr<CXPrintout> printout(new CXPrintout(*this, Title()));
    if (preview) {
        service->Preview(printout.Get());
    } else {
        service->Print(printout.Get(), 1);
    }
}

namespace CX {

ICopyNotifyService* GetCopyNotifyService()
{
    static std::once_flag fetched;
    static platform::ComPtr<ICopyNotifyService> service;
    std::call_once(fetched, [] {
        if (ICAFFramework* framework = CAF::GetFrameworkClassObject()) {
            if (FAILED(framework->GetObject(kCopyNotifyServiceId, IID_ICopyNotifyService, service.OutVoid()))) {
                service = nullptr;
            }
        }
    });
    return service.Get();
}

RECT MetafileFrame(HDC screen, SIZE client)
{
    const long long mmX = GetDeviceCaps(screen, HORZSIZE);
    const long long mmY = GetDeviceCaps(screen, VERTSIZE);
    const long long resX = std::max(1, GetDeviceCaps(screen, HORZRES));
    const long long resY = std::max(1, GetDeviceCaps(screen, VERTRES));
    return RECT{0, 0, static_cast<LONG>(client.cx * mmX * 100 / resX), static_cast<LONG>(client.cy * mmY * 100 / resY)};
}

RECT MetafileDrawingRect(HDC reference, HDC screen, const RECT& frame)
{
    HDC device = reference;
    if (!device || GetDeviceCaps(device, HORZSIZE) <= 0 || GetDeviceCaps(device, VERTSIZE) <= 0) {
        device = screen; // a device without a size in millimetres: measure on the screen
    }
    const long long mmX = std::max(1, GetDeviceCaps(device, HORZSIZE));
    const long long mmY = std::max(1, GetDeviceCaps(device, VERTSIZE));
    const long long width = frame.right - frame.left;
    const long long height = frame.bottom - frame.top;
    return RECT{0, 0, static_cast<LONG>(width * GetDeviceCaps(device, HORZRES) / (mmX * 100)),
                static_cast<LONG>(height * GetDeviceCaps(device, VERTRES) / (mmY * 100))};
}

} // namespace CX
