// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Drives Cardpeek.exe as a user would, through window messages from another process:
// finds the window "Form1" and its controls, types card numbers, clicks Read and reads
// the two result boxes, answers the message box for bad text, and leaves with Exit.
// Then starts a copy of Cardpeek.exe that has no Slotscan.DLL beside it: Read reports the
// missing library in a message box and the window stays. Checks too that the text boxes
// and buttons are drawn in a face that has 无, whatever the locale (the test runs with
// LANG=C). The texts are written out here as the window must show them. Prints one line
// per check.
// usage: drive_cardpeek.exe CARDPEEK_EXE LONE_CARDPEEK_EXE  (PORTVEX names the test rack)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ControlFonts.h"
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

// A top-level window of `process` with this class (or any) and title, waited for.
HWND waitForWindow(DWORD process, const wchar_t* className, const std::wstring& title) {
    for (int tries = 0; tries < 300; ++tries) {
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

// The face Cardpeek.exe gives its text boxes and buttons has a glyph for 无 here, where the
// system's GUI font (which they had before) has none. Font handles belong to the process
// that made them, and Wine answers WM_GETFONT from another process with none, so the font
// is made here by the same code as in Cardpeek.exe.
void checkControlFont() {
    const HDC dc = GetDC(nullptr);
    const std::wstring face = ControlFonts::kaitiFace(dc);
    const auto hasGlyph = [dc](HGDIOBJ candidate) {
        const HGDIOBJ previous = SelectObject(dc, candidate);
        WORD glyph = 0;
        const DWORD done = GetGlyphIndicesW(dc, L"\u65e0", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
        SelectObject(dc, previous);
        return done == 1 && glyph != 0xFFFF;
    };
    const HFONT controlFont = ControlFonts::controlFont(face);
    check(hasGlyph(controlFont),
          "the boxes' face " + WideText::toUtf8(face) + " has a glyph for 无 (U+65E0)");
    std::printf("(the system's GUI font has %s glyph for 无 in this locale)\n",
                hasGlyph(GetStockObject(DEFAULT_GUI_FONT)) ? "a" : "no");
    DeleteObject(controlFont);
    ReleaseDC(nullptr, dc);
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
    checkControlFont();

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
    if (argc != 3) {
        std::printf("usage: drive_cardpeek CARDPEEK_EXE LONE_CARDPEEK_EXE\n");
        return 2;
    }
    driveWithLibrary(argv[1]);
    driveWithoutLibrary(argv[2]);
    return wine_check::summary();
}
