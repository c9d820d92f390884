// A tiny HTTP proxy on 127.0.0.1 that records each request line and answers with a small
// page, and the per-user Internet setting that sends the process's browser through it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/raii.h"

namespace quillpost::testing {

class RecordingProxy {
public:
    RecordingProxy();  // listens on an ephemeral port; Port() is 0 when that failed
    RecordingProxy(const RecordingProxy&) = delete;
    RecordingProxy& operator=(const RecordingProxy&) = delete;
    ~RecordingProxy();

    unsigned short Port() const { return port_; }
    // Request targets received so far, e.g. "http://host:80/latest.php".
    std::vector<std::string> Targets() const;
    // How many requests asked for the page at http://host/path (default port or :80).
    int CountFor(const std::string& host, const std::string& path) const;

private:
    void Serve();
    void Answer(SOCKET client);

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    mutable std::mutex lock_;
    std::vector<std::string> targets_;
    std::thread thread_;
};

// Points HKCU's Internet Settings at the proxy for the scope, then restores what was there.
class ProxySetting {
public:
    explicit ProxySetting(unsigned short port);
    ProxySetting(const ProxySetting&) = delete;
    ProxySetting& operator=(const ProxySetting&) = delete;
    ~ProxySetting();
    bool Applied() const { return applied_; }

private:
    struct Saved {
        const wchar_t* name;
        bool present = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    void Save(Saved& value);
    void Restore(const Saved& value);

    UniqueHkey key_;
    bool applied_ = false;
    Saved enable_{L"ProxyEnable"};
    Saved server_{L"ProxyServer"};
};

}  // namespace quillpost::testing
