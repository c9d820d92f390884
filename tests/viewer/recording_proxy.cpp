#include "viewer/recording_proxy.h"

#include <ws2tcpip.h>

namespace quillpost::testing {
namespace {

constexpr char kPage[] = "<html><body>latest posts</body></html>";
constexpr wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The request line's target: the second word of "GET http://host/path HTTP/1.1".
std::string TargetOf(const std::string& request)
{
    const size_t start = request.find(' ');
    if (start == std::string::npos) return {};
    const size_t end = request.find(' ', start + 1);
    return request.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

std::string ReadHead(SOCKET client)
{
    std::string request;
    char buffer[2048];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const int got = recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        request.append(buffer, got);
    }
    return request;
}

}  // namespace

RecordingProxy::RecordingProxy()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (listener_ == INVALID_SOCKET || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

RecordingProxy::~RecordingProxy()
{
    if (listener_ != INVALID_SOCKET) closesocket(listener_);  // ends accept() in Serve
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

void RecordingProxy::Serve()
{
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        Answer(client);
        closesocket(client);
    }
}

void RecordingProxy::Answer(SOCKET client)
{
    const std::string request = ReadHead(client);
    if (request.empty()) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        targets_.push_back(TargetOf(request));
    }
    // No caching: a second visit must reach us again.
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                               "Connection: close\r\nContent-Length: " +
                               std::to_string(sizeof(kPage) - 1) + "\r\n\r\n" + kPage;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
}

std::vector<std::string> RecordingProxy::Targets() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return targets_;
}

int RecordingProxy::CountFor(const std::string& host, const std::string& path) const
{
    int count = 0;
    for (const std::string& target : Targets())
        count += target == "http://" + host + path || target == "http://" + host + ":80" + path;
    return count;
}

ProxySetting::ProxySetting(unsigned short port)
{
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key_.Put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    Save(enable_);
    Save(server_);
    const DWORD enable = 1;
    const std::wstring server = L"127.0.0.1:" + std::to_wstring(port);
    applied_ = RegSetValueExW(key_.Get(), enable_.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable),
                              sizeof(enable)) == ERROR_SUCCESS &&
               RegSetValueExW(key_.Get(), server_.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                              static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

ProxySetting::~ProxySetting()
{
    if (!key_.Get()) return;
    Restore(enable_);
    Restore(server_);
}

void ProxySetting::Save(Saved& value)
{
    DWORD size = 0;
    if (RegQueryValueExW(key_.Get(), value.name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return;
    value.data.resize(size);
    value.present = RegQueryValueExW(key_.Get(), value.name, nullptr, &value.type, value.data.data(), &size) ==
                    ERROR_SUCCESS;
}

void ProxySetting::Restore(const Saved& value)
{
    if (!value.present) {
        RegDeleteValueW(key_.Get(), value.name);
        return;
    }
    RegSetValueExW(key_.Get(), value.name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
}

}  // namespace quillpost::testing
