// A sink of ours advised to a connection point of a foreign object (a control's events), and
// unadvised again when its owner lets go, so the object holds the sink no longer than we mean.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

namespace quillpost {

class EventConnection {
public:
    EventConnection() = default;
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection() { Disconnect(); }

    // Advises `sink` to the connection point of `source` for `events` (neither may be null); any
    // earlier connection goes first. On failure nothing stays connected.
    HRESULT Connect(IUnknown* source, REFIID events, IUnknown* sink);
    // Unadvises the sink, if it is connected; the source then lets go of it.
    void Disconnect();

private:
    Microsoft::WRL::ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

}  // namespace quillpost
