// The base of the module's two views: a ViewBase that keeps the document's host object and the view's host
// interface. Copying, printing and their texts' loading live here; the views' content comes with their own code.
#pragma once

#include "frame/views.h"

class CXViewBase : public ViewBase {
    CAF_DECLARE_MESSAGE_MAP(CXViewBase, ViewBase)

public:
    CXViewBase(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, LPCWSTR title,
               owl::TModule* module, DWORD flags);

protected:
    // A string-table text of the view's module, loaded on first use into `cache` and kept.
    KVO::String CachedText(KVO::String& cache, UINT id, bool substitute) const;

private:
    owl::TModule* textModule_;
};
