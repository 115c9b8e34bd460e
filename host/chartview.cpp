#include "host/chartview.h"

#include <string>

namespace host {

HRESULT ChartView::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IUnknown, static_cast<IChartView*>(this)}, {&IID_IChartView, static_cast<IChartView*>(this)}},
                      iid, out);
}

HRESULT ChartView::ShowTime(LONGLONG time, DWORD flag)
{
    log_.Record("chartview", "ShowTime", std::to_string(time) + " " + std::to_string(flag));
    shown_.emplace_back(time, flag);
    return S_OK;
}

HRESULT ChartView::GetTimeScale(double* ticksPerPixel)
{
    if (!ticksPerPixel) {
        return E_POINTER;
    }
    *ticksPerPixel = timeScale_;
    return S_OK;
}

} // namespace host
