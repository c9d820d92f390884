#include "viewer/event_connection.h"

#include <utility>

namespace quillpost {

HRESULT EventConnection::Connect(IUnknown* source, REFIID events, IUnknown* sink)
{
    Disconnect();
    Microsoft::WRL::ComPtr<IConnectionPointContainer> container;
    if (HRESULT hr = source->QueryInterface(IID_PPV_ARGS(&container)); FAILED(hr)) return hr;
    Microsoft::WRL::ComPtr<IConnectionPoint> point;
    if (HRESULT hr = container->FindConnectionPoint(events, &point); FAILED(hr)) return hr;
    DWORD cookie = 0;
    if (HRESULT hr = point->Advise(sink, &cookie); FAILED(hr)) return hr;
    point_ = std::move(point);
    cookie_ = cookie;
    return S_OK;
}

void EventConnection::Disconnect()
{
    // Taken out first: the source may call back into its owner while it unadvises.
    Microsoft::WRL::ComPtr<IConnectionPoint> point = std::move(point_);
    if (point) point->Unadvise(std::exchange(cookie_, 0));
}

}  // namespace quillpost
