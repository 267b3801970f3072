// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Drives Cardpeek.exe as a user would, through window messages from another process:
// finds the window "Form1" and its controls, types card numbers, clicks Read and reads
// the two result boxes, answers the message box for bad text, and leaves with Exit.
// Then starts a copy of Cardpeek.exe that has no Slotscan.DLL beside it: Read reports the
// missing library in a message box and the window stays. Checks too, by the pixels on
// the screen, that the buttons and text boxes are drawn in the system's GUI font, the
// captions centred where designed, and that 无 shows whatever the locale (the test runs
// with LANG=C). The texts are written out here as the window must show them. Prints one
// line per check, then the counts.
// usage: drive_cardpeek.exe CARDPEEK_EXE LONE_CARDPEEK_EXE  (PORTVEX names the test rack)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "FormDesign.h"
#include "ScreenPixels.h"
#include "Twips.h"
#include "WideText.h"
#include "check.h"

namespace {

constexpr const char* kCaption = "Form1";
constexpr const char* kMessageTitle = "Cardpeek";
constexpr const char* kRead = "Read";
constexpr const char* kExit = "Exit";

using wine_check::check;

std::wstring text(HWND window) {
    std::wstring buffer(static_cast<size_t>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) + 1,
                        L'\0');
    const LRESULT length =
        SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(length));
    return buffer;
}

std::string utf8(HWND window) {
    return WideText::toUtf8(text(window));
}

// A top-level window of `process` with this class (or any) and title, waited for up to two
// minutes: a first start under 32-bit Wine in an emulated PC can take most of that.
HWND waitForWindow(DWORD process, const wchar_t* className, const std::wstring& title) {
    for (int tries = 0; tries < 1200; ++tries) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, className, title.c_str())) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process && IsWindowVisible(found)) return found;
        }
        Sleep(100);
    }
    return nullptr;
}

struct Controls {
    std::vector<HWND> labels;  // top to bottom
    std::vector<HWND> boxes;   // top to bottom: card number, I/O base, IRQ
    HWND read = nullptr;
    HWND exit = nullptr;
};

BOOL CALLBACK collect(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

BOOL CALLBACK collectStaticText(HWND child, LPARAM out) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0) *reinterpret_cast<std::string*>(out) += utf8(child);
    return TRUE;
}

Controls findControls(HWND form) {
    std::vector<HWND> children;
    EnumChildWindows(form, collect, reinterpret_cast<LPARAM>(&children));
    Controls found;
    for (const HWND child : children) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        const std::wstring kind(className);
        if (_wcsicmp(className, L"Static") == 0) found.labels.push_back(child);
        if (_wcsicmp(className, L"Edit") == 0) found.boxes.push_back(child);
        if (_wcsicmp(className, L"Button") == 0 && utf8(child) == kRead) found.read = child;
        if (_wcsicmp(className, L"Button") == 0 && utf8(child) == kExit) found.exit = child;
    }
    const auto byTop = [](HWND a, HWND b) {
        RECT ra, rb;
        GetWindowRect(a, &ra);
        GetWindowRect(b, &rb);
        return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
    };
    std::sort(found.labels.begin(), found.labels.end(), byTop);
    std::sort(found.boxes.begin(), found.boxes.end(), byTop);
    return found;
}

void type(HWND box, std::string_view typed) {
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideText::fromUtf8(typed).c_str()));
}

// Clicks a button and waits for a message box; returns its text and closes it.
std::string clickExpectingMessage(DWORD process, HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
    const HWND box = waitForWindow(process, L"#32770", WideText::fromUtf8(kMessageTitle));
    if (box == nullptr) return {};
    std::string said;
    EnumChildWindows(box, collectStaticText, reinterpret_cast<LPARAM>(&said));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int tries = 0; tries < 100 && IsWindow(box); ++tries) Sleep(50);
    return said;
}

// Standard controls of the driver's own, in a window away from Cardpeek's, drawn as the
// design says Cardpeek's text boxes and buttons look: in the system's GUI font and colours.
class Reference {
  public:
    Reference() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        windowClass.lpszClassName = L"DriveCardpeekReference";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, windowClass.lpszClassName,
                                  L"", WS_POPUP, 600, 500, 300, 100, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;
    ~Reference() { DestroyWindow(window_); }

    // How a push button of `like`'s size with this caption looks.
    ScreenPixels::Image button(const std::string& caption, HWND like) {
        return make(L"BUTTON", 0, BS_PUSHBUTTON, caption, like);
    }
    // How a text box of `like`'s size showing this text looks.
    ScreenPixels::Image textBox(const std::string& text, HWND like) {
        return make(L"EDIT", WS_EX_CLIENTEDGE, ES_LEFT | ES_AUTOHSCROLL, text, like);
    }

  private:
    ScreenPixels::Image make(const wchar_t* className, DWORD exStyle, DWORD style,
                             const std::string& text, HWND like) {
        RECT size;
        GetWindowRect(like, &size);
        const HWND control = CreateWindowExW(
            exStyle, className, WideText::fromUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0,
            0, size.right - size.left, size.bottom - size.top, window_, nullptr, nullptr, nullptr);
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
        ScreenPixels::Image seen = ScreenPixels::look(control);
        DestroyWindow(control);
        return seen;
    }

    HWND window_ = nullptr;
};

struct Point {
    double x;
    double y;
};

std::string show(Point p) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f,%.1f", p.x, p.y);
    return text;
}

// The centre of a button caption's ink, from the top-left of the image; the button's frame
// (3 pixels) is not ink.
Point captionCentre(const ScreenPixels::Image& button) {
    const RECT ink = ScreenPixels::inkBox(button, 3);
    return {(ink.left + ink.right) / 2.0 - button.place.left,
            (ink.top + ink.bottom) / 2.0 - button.place.top};
}

// The buttons as designed, checked before any of them has had the focus: each is drawn
// pixel for pixel as a standard button in the system's GUI font and colours, and its
// caption's ink is centred on the button's designed place: to half a pixel down, as well
// as whole pixels allow, and to a pixel across, where the ink is not centred in the
// caption's advance exactly.
void checkButtons(HWND form, const Controls& controls) {
    Reference reference;
    POINT origin{0, 0};
    ClientToScreen(form, &origin);
    const HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    struct Button {
        HWND window;
        std::string caption;
        Twips::Rect designed;
    };
    for (const Button& button : {Button{controls.read, kRead, FormDesign::kReadCardNO},
                                 Button{controls.exit, kExit, FormDesign::kCommand1}}) {
        const ScreenPixels::Image seen = ScreenPixels::look(button.window);
        const ScreenPixels::Image standard = reference.button(button.caption, button.window);
        const Point inButton = captionCentre(seen);
        const Point got{seen.place.left - origin.x + inButton.x,
                        seen.place.top - origin.y + inButton.y};
        check(!seen.pixels.empty() && seen == standard,
              button.caption + " is drawn as a standard button in the system's GUI font",
              "its caption's ink is centred at " + show(inButton) + " in the button, a " +
                  "standard one's at " + show(captionCentre(standard)));
        const Twips::Rect place = Twips::toPixels(button.designed, dpiX, dpiY);
        const Point want{place.left + place.width / 2.0, place.top + place.height / 2.0};
        check(std::fabs(got.x - want.x) <= 1.0 && std::fabs(got.y - want.y) <= 0.5,
              button.caption + "'s caption is centred on its designed place at " + show(want) +
                  " (ink centred at " + show(got) + ")");
    }
}

// 无 in a result box is drawn as a glyph, not as the sign of a missing one (what the box
// shows for U+FDD0, a character no font has), in the C locale too, where the system's GUI
// font has no glyph for it.
void checkNoneShows(HWND box) {
    const ScreenPixels::Image none = ScreenPixels::look(box);
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"\uFDD0"));
    const ScreenPixels::Image missing = ScreenPixels::look(box);
    type(box, "无");
    const RECT ink = ScreenPixels::inkBox(none, 0);
    check(!IsRectEmpty(&ink) && !(none == missing),
          "无 in a result box is drawn as a glyph, not as a missing one");
}

// A result box that showed 无 shows Latin text as a standard text box does, in the
// system's GUI font.
void checkBoxFont(HWND box) {
    Reference reference;
    const std::string shown = utf8(box);
    check(ScreenPixels::look(box) == reference.textBox(shown, box),
          "the result box shows " + shown + " as a text box in the system's GUI font does");
}

PROCESS_INFORMATION start(const char* program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + WideText::fromUtf8(program) + L"\"";
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::printf("FAIL: cannot start %s (error %lu)\n", program, GetLastError());
    }
    return process;
}

bool exitsWithin(const PROCESS_INFORMATION& process, DWORD milliseconds) {
    return WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0;
}

void driveWithLibrary(const char* program) {
    const PROCESS_INFORMATION process = start(program);
    const HWND form = waitForWindow(process.dwProcessId, nullptr, WideText::fromUtf8(kCaption));
    check(form != nullptr, "the window Form1 opens");
    if (form == nullptr) return;
    const Controls controls = findControls(form);
    check(
        controls.labels.size() == 4 && controls.boxes.size() == 3 && controls.read && controls.exit,
        "four labels, three text boxes, Read and Exit");
    if (controls.labels.size() != 4 || controls.boxes.size() != 3 || !controls.read ||
        !controls.exit)
        return;
    const HWND cardNo = controls.boxes[0];
    const HWND ioBase = controls.boxes[1];
    const HWND irq = controls.boxes[2];
    check(utf8(controls.labels[0]) == "PCI总线下口地址与中断信息" &&
              utf8(controls.labels[1]) == "卡号：" && utf8(controls.labels[2]) == "口地址：" &&
              utf8(controls.labels[3]) == "中断号：",
          "the labels read as designed");
    check(utf8(cardNo) == "255" && utf8(ioBase) == "无" && utf8(irq) == "无",
          "the boxes start with 255 and 无");
    checkButtons(form, controls);
    checkNoneShows(ioBase);

    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    GetGUIThreadInfo(process.dwThreadId, &gui);
    check(gui.hwndFocus == cardNo, "the card number box has the focus");

    struct Case {
        const char* typed;
        const char* ioBase;
        const char* irq;
    };
    const Case cases[] = {
        {"255", "NO", "NO"}, {"1", "300H", "5"},      {"2", "E800H", "11"},   {"-1", "310H", "10"},
        {" 3 ", "0H", "9"},  {"-32768", "320H", "7"}, {"32767", "330H", "3"}, {"1", "300H", "5"},
    };
    for (const Case& c : cases) {
        type(cardNo, c.typed);
        SendMessageW(controls.read, BM_CLICK, 0, 0);
        check(utf8(ioBase) == c.ioBase && utf8(irq) == c.irq,
              std::string("card \"") + c.typed + "\" shows " + c.ioBase + " and " + c.irq +
                  " (got " + utf8(ioBase) + " and " + utf8(irq) + ")");
    }

    checkBoxFont(ioBase);

    type(cardNo, "abc");
    const std::string said = clickExpectingMessage(process.dwProcessId, controls.read);
    check(said.find("\"abc\"") != std::string::npos &&
              said.find("-32768 to 32767") != std::string::npos,
          "bad text opens a message quoting it and the range: " + said);
    check(IsWindow(form) && utf8(ioBase) == "300H" && utf8(irq) == "5",
          "after the message the window stays and keeps its results");

    // Enter in the card number box presses no button.
    type(cardNo, "2");
    SetForegroundWindow(form);
    PostMessageW(cardNo, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(cardNo, WM_KEYUP, VK_RETURN, static_cast<LPARAM>(0xC0000001u));
    Sleep(300);
    SendMessageW(form, WM_NULL, 0, 0);
    check(utf8(ioBase) == "300H", "Enter does not start a Read");

    PostMessageW(controls.exit, BM_CLICK, 0, 0);
    DWORD code = 1;
    const bool ended = exitsWithin(process, 10000) && GetExitCodeProcess(process.hProcess, &code);
    check(ended && code == 0, "Exit ends the program");
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void driveWithoutLibrary(const char* program) {
    const PROCESS_INFORMATION process = start(program);
    const HWND form = waitForWindow(process.dwProcessId, nullptr, WideText::fromUtf8(kCaption));
    check(form != nullptr, "without Slotscan.DLL the window opens");
    if (form != nullptr) {
        const Controls controls = findControls(form);
        for (int attempt = 1; attempt <= 2 && controls.read != nullptr; ++attempt) {
            const std::string said = clickExpectingMessage(process.dwProcessId, controls.read);
            check(said.find("Slotscan.DLL") != std::string::npos && IsWindow(form),
                  "Read number " + std::to_string(attempt) +
                      " names the missing library and the window stays: " + said);
        }
        PostMessageW(form, WM_CLOSE, 0, 0);
        check(exitsWithin(process, 10000), "closing the window ends the program");
    }
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

int main(int argc, char** argv) {
    SetProcessDPIAware();  // as Cardpeek.exe is, so that both see the display's own DPI
    if (argc != 3) {
        std::printf("usage: drive_cardpeek CARDPEEK_EXE LONE_CARDPEEK_EXE\n");
        return 2;
    }
    driveWithLibrary(argv[1]);
    driveWithoutLibrary(argv[2]);
    return wine_check::summary();
}
