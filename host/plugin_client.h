// The host's side of the contract: every call goes by name through IDispatch, as the
// messenger add-on makes it.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace quillpost::host {

struct PublishedCommandInfo {
    long index = 0;
    std::wstring name;
    std::wstring value;
    std::wstring help;
};

struct ParseResult {
    bool handled = false;
    std::wstring result;
};

class PluginClient {
public:
    // Creates the plug-in from a ProgID or a "{CLSID}".
    HRESULT Create(const std::wstring& progIdOrClsid);

    HRESULT Initialize(long version, const std::wstring& email, bool* accepted);
    HRESULT GetPublishInfo(std::wstring* pluginName, long* commandCount);
    HRESULT GetPublishCommandInfo(long index, PublishedCommandInfo* command);
    HRESULT ParseCommand(const std::wstring& command, ParseResult* parsed);
    HRESULT Configure();
    HRESULT Uninitialize();
    void Release() { plugin_.Reset(); }

    IDispatch* Object() const { return plugin_.Get(); }
    // Text of the last failure's exception, if the plug-in gave one.
    const std::wstring& LastError() const { return lastError_; }

private:
    HRESULT Invoke(const wchar_t* name, std::vector<VARIANT>& argsLastFirst, VARIANT* result);

    Microsoft::WRL::ComPtr<IDispatch> plugin_;
    std::wstring lastError_;
};

}  // namespace quillpost::host
