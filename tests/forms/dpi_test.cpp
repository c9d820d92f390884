// Both windows are laid out, lettered and skinned at the display's DPI in hosts of every DPI
// awareness, and never change the host's own. Each case runs a host (dpi_probe.exe) in a new
// process, after setting the prefix's display DPI, which Wine applies to new processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "core/raii.h"
#include "support/platform.h"

namespace quillpost::testing {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

// Sets HKCU's LogPixels for the scope and puts the earlier value back.
class DisplayDpi {
public:
    explicit DisplayDpi(DWORD dpi)
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            key_.Put(), nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = sizeof(previous_);
        hadValue_ = RegQueryValueExW(key_.Get(), L"LogPixels", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&previous_), &size) == ERROR_SUCCESS;
        applied_ = RegSetValueExW(key_.Get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                                  sizeof(dpi)) == ERROR_SUCCESS;
    }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;
    ~DisplayDpi()
    {
        if (!applied_) return;
        if (hadValue_) {
            RegSetValueExW(key_.Get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                           sizeof(previous_));
        } else {
            RegDeleteValueW(key_.Get(), L"LogPixels");
        }
    }
    bool Applied() const { return applied_; }

private:
    UniqueHkey key_;
    DWORD previous_ = 0;
    bool hadValue_ = false;
    bool applied_ = false;
};

struct ProbeReport {
    DWORD exitCode = static_cast<DWORD>(-1);
    int dpi = 0;
    bool kept = false;
    std::map<std::wstring, SIZE> windows;
    std::map<std::wstring, RECT> controls;
    std::map<std::wstring, int> fontHeights;
    SIZE skin{};
    std::map<std::wstring, COLORREF> pixels;
    std::map<std::wstring, RECT> clients, locations;  // on the screen
    std::map<std::wstring, long> hits;
    std::map<std::wstring, int> contexts;  // DPI awareness
    std::string text;
};

RECT ReadRect(std::istream& in)
{
    RECT box{};
    in >> box.left >> box.top >> box.right >> box.bottom;
    return box;
}

std::wstring ProbeProgram()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\dpi_probe.exe";
}

std::string RunAndRead(std::wstring commandLine, DWORD* exitCode)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {};
    UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return {};
    UniqueHandle process(started.hProcess), thread(started.hThread);
    writer.Reset();
    // Read until the probe has ended and its output is drained, not until the pipe's last writer
    // has gone: the session's desktop, which Wine starts with the first window of a new session,
    // is started by the probe and inherits the pipe.
    std::string output;
    char buffer[1024];
    for (const ULONGLONG until = GetTickCount64() + 60000; GetTickCount64() < until;) {
        const bool ended = WaitForSingleObject(started.hProcess, 0) == WAIT_OBJECT_0;
        DWORD available = 0, read = 0;
        if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;  // every writer gone
        if (available && ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr)) output.append(buffer, read);
        if (!available && ended) break;
        if (!available) WaitForSingleObject(started.hProcess, 20);
    }
    GetExitCodeProcess(started.hProcess, exitCode);
    return output;
}

ProbeReport RunProbe(const std::wstring& host)
{
    ProbeReport report;
    report.text = RunAndRead(L"\"" + ProbeProgram() + L"\" " + host, &report.exitCode);
    std::istringstream lines(report.text);
    std::string kind, name;
    while (lines >> kind) {
        if (kind == "dpi") {
            lines >> report.dpi;
        } else if (kind == "kept") {
            int kept = 0;
            lines >> kept;
            report.kept = kept == 1;
        } else if (kind == "window") {
            SIZE size{};
            lines >> name >> size.cx >> size.cy;
            report.windows[std::wstring(name.begin(), name.end())] = size;
        } else if (kind == "control" || kind == "client" || kind == "location") {
            lines >> name;
            auto& into = kind == "control" ? report.controls : kind == "client" ? report.clients : report.locations;
            into[std::wstring(name.begin(), name.end())] = ReadRect(lines);
        } else if (kind == "hit") {
            lines >> name;
            lines >> report.hits[std::wstring(name.begin(), name.end())];
        } else if (kind == "context") {
            lines >> name;
            lines >> report.contexts[std::wstring(name.begin(), name.end())];
        } else if (kind == "font") {
            lines >> name;
            lines >> report.fontHeights[std::wstring(name.begin(), name.end())];
        } else if (kind == "skin") {
            lines >> report.skin.cx >> report.skin.cy;
        } else if (kind == "pixel") {
            std::string hex;
            lines >> name >> hex;
            const unsigned long rgb = std::stoul(hex, nullptr, 16);
            report.pixels[std::wstring(name.begin(), name.end())] = RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
        }
    }
    return report;
}

// The layouts at 96 dpi, in pixels: the twips divided by 15.
const std::map<std::wstring, SIZE> kClientSizes = {{L"Form1", {575, 512}}, {L"About", {249, 139}}};
const std::map<std::wstring, RECT> kControlBoxes = {
    {L"pic", {0, 0, 577, 513}},   {L"main", {8, 32, 561, 497}},  {L"Label1", {104, 8, 529, 25}},
    {L"1", {8, 8, 241, 33}},      {L"2", {16, 32, 225, 57}},     {L"3", {8, 48, 233, 65}},
    {L"4", {16, 72, 201, 105}},   {L"5", {168, 80, 241, 105}},   {L"6", {16, 112, 241, 137}},
};

// What the skin shows at each landmark the probe reads (see dpi_probe.cpp).
const std::map<std::wstring, COLORREF> kLandmarkColours = {
    {L"frame", RGB(0x80, 0x97, 0xCF)}, {L"strip", RGB(0xFF, 0xF8, 0xFF)}, {L"bar", RGB(0x40, 0x60, 0x90)},
    {L"cross", RGB(0x40, 0x60, 0x90)}, {L"margin", RGB(0xFF, 0xFF, 0xFF)},
};

int Distance(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

class WindowsAtDpi : public ::testing::TestWithParam<std::tuple<int, const wchar_t*>> {};

TEST_P(WindowsAtDpi, KeepTheirLayoutsProportionsAndTheHostsAwareness)
{
    // Named one by one: a lambda below uses dpi, which a structured binding could not lend it.
    const int dpi = std::get<0>(GetParam());
    const wchar_t* host = std::get<1>(GetParam());
    QUILLPOST_UNDER_WINE_ONLY("sets the desktop user's display DPI");
    DisplayDpi display(dpi);
    ASSERT_TRUE(display.Applied());
    const ProbeReport report = RunProbe(host);
    ASSERT_EQ(0u, report.exitCode) << report.text;
    EXPECT_TRUE(report.kept) << "the host's DPI awareness was changed";
    const std::wstring kind(host);
    // An aware host sees the display's DPI.
    EXPECT_EQ(kind == L"unaware" ? 96 : dpi, report.dpi) << report.text;
    // Whatever the host, the windows are drawn at the display's DPI: in physical pixels each
    // layout is its 96-dpi size times dpi/96.
    auto scale = [&](long value) { return MulDiv(value, dpi, 96); };
    for (const auto& [name, size] : kClientSizes) {
        ASSERT_TRUE(report.windows.count(name)) << report.text;
        EXPECT_NEAR(scale(size.cx), report.windows.at(name).cx, 2) << ::testing::PrintToString(name);
        EXPECT_NEAR(scale(size.cy), report.windows.at(name).cy, 2) << ::testing::PrintToString(name);
    }
    for (const auto& [name, box] : kControlBoxes) {
        ASSERT_TRUE(report.controls.count(name)) << "missing control " << ::testing::PrintToString(name) << "\n"
                                                 << report.text;
        const RECT& seen = report.controls.at(name);
        EXPECT_NEAR(scale(box.left), seen.left, 1) << ::testing::PrintToString(name);
        EXPECT_NEAR(scale(box.top), seen.top, 1) << ::testing::PrintToString(name);
        EXPECT_NEAR(scale(box.right), seen.right, 1) << ::testing::PrintToString(name);
        EXPECT_NEAR(scale(box.bottom), seen.bottom, 1) << ::testing::PrintToString(name);
    }
    // "MS Sans Serif" 8.25 pt: 11 pixels at 96 dpi, in proportion at every other.
    for (const wchar_t* control : {L"Label1", L"About"}) {
        ASSERT_TRUE(report.fontHeights.count(control)) << report.text;
        EXPECT_NEAR(MulDiv(825, dpi, 7200), report.fontHeights.at(control), 1) << ::testing::PrintToString(control);
    }
    EXPECT_NEAR(scale(571), report.skin.cx, 1);
    EXPECT_NEAR(scale(507), report.skin.cy, 1);
    // Smoothing may blend a landmark with its neighbours, never so far that another colour wins.
    for (const auto& [name, colour] : kLandmarkColours) {
        ASSERT_TRUE(report.pixels.count(name)) << report.text;
        const COLORREF seen = report.pixels.at(name);
        const COLORREF other = colour == RGB(0xFF, 0xFF, 0xFF) ? RGB(0x80, 0x97, 0xCF) : RGB(0xFF, 0xFF, 0xFF);
        EXPECT_LT(Distance(seen, colour), Distance(seen, other)) << ::testing::PrintToString(name);
    }
}

std::string CaseName(const ::testing::TestParamInfo<WindowsAtDpi::ParamType>& info)
{
    const std::wstring host = std::get<1>(info.param);
    return std::to_string(std::get<0>(info.param)) + "dpi_" + std::string(host.begin(), host.end()) + "Host";
}

INSTANTIATE_TEST_SUITE_P(HostKinds, WindowsAtDpi,
                         ::testing::Combine(::testing::Values(96, 120, 144, 192),
                                            ::testing::Values(L"unaware", L"system", L"permonitor")),
                         CaseName);

// What foreign code calls in the windows, called from a host thread in the unaware context at 144
// dpi, to which the system answers positions scaled down to 96 dpi: a screen reader's calls (which
// arrive through COM's window, in the host's context) and the key hook's call into the page. Each
// runs in its window's own context, so the rectangles are the screen's physical pixels.
TEST(EntryPoints, RunInTheirWindowsDpiContextFromAnUnawareHostAt144Dpi)
{
    QUILLPOST_UNDER_WINE_ONLY("sets the desktop user's display DPI");
    DisplayDpi display(144);
    ASSERT_TRUE(display.Applied());
    const ProbeReport report = RunProbe(L"unaware entries");
    ASSERT_EQ(0u, report.exitCode) << report.text;
    EXPECT_TRUE(report.kept) << "an entry point left the host's thread in another DPI context";
    auto scale = [](long value) { return MulDiv(value, 144, 96); };
    struct Element {
        const wchar_t* name;
        const wchar_t* window;
        RECT at96;  // in the window's client area
        long hit;   // what a hit test finds at its middle
    };
    const Element elements[] = {
        {L"Close", L"Form1", {544, 8, 561, 25}, 2},  // the drawn button's image area, child 2
        {L"3", L"About", kControlBoxes.at(L"3"), CHILDID_SELF},
        {L"6", L"About", kControlBoxes.at(L"6"), CHILDID_SELF},
    };
    for (const Element& element : elements) {
        ASSERT_TRUE(report.locations.count(element.name) && report.clients.count(element.window)) << report.text;
        const RECT& client = report.clients.at(element.window);
        const RECT& seen = report.locations.at(element.name);
        RECT inside{};
        EXPECT_TRUE(IntersectRect(&inside, &seen, &client) && EqualRect(&inside, &seen)) << report.text;
        EXPECT_NEAR(client.left + scale(element.at96.left), seen.left, 1) << ::testing::PrintToString(element.name);
        EXPECT_NEAR(client.top + scale(element.at96.top), seen.top, 1) << ::testing::PrintToString(element.name);
        EXPECT_NEAR(client.left + scale(element.at96.right), seen.right, 1) << ::testing::PrintToString(element.name);
        EXPECT_NEAR(client.top + scale(element.at96.bottom), seen.bottom, 1) << ::testing::PrintToString(element.name);
        EXPECT_EQ(element.hit, report.hits.at(element.name)) << ::testing::PrintToString(element.name);
    }
    // Wine answers the page no differently in either context: what shows is the context itself.
    ASSERT_TRUE(report.contexts.count(L"hook") && report.contexts.count(L"Form1")) << report.text;
    EXPECT_EQ(DPI_AWARENESS_PER_MONITOR_AWARE, report.contexts.at(L"Form1"));
    EXPECT_EQ(report.contexts.at(L"Form1"), report.contexts.at(L"hook")) << "the page was handed a key in the host's context";
}

}  // namespace
}  // namespace quillpost::testing
