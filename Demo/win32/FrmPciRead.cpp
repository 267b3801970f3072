// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

// Cardpeek.exe: the window FrmPciRead as a native Win32 program. Type a card number,
// press Read, see the card's I/O base and IRQ as Slotscan.DLL reports them.
#include <windows.h>

#include "CardText.h"
#include "ControlFonts.h"
#include "FormDesign.h"
#include "SlotscanDll.h"
#include "WideText.h"

namespace {

constexpr const wchar_t* kClassName = L"CardpeekFrmPciRead";

// Control IDs. IDOK (1) and IDCANCEL (2), which Enter and Esc send, belong to no control.
enum ControlId : int {
    kIdTxtCardNo = 100,
    kIdTxtIOBase,
    kIdTxtIRQNO,
    kIdCommand1,
    kIdReadCardNO,
    kIdLabel1,
    kIdLabel2,  // and the two after it
};

struct Form {
    HWND window = nullptr;
    HWND label1 = nullptr;
    HWND txtCardNo = nullptr;
    HWND txtIOBase = nullptr;
    HWND txtIRQNO = nullptr;
    HFONT label1Font = nullptr;
    HFONT label2Font = nullptr;
    HFONT chineseTextFont = nullptr;  // for text boxes whose text the GUI font cannot draw

    HBRUSH background = nullptr;
    int dpiX = 96;
    int dpiY = 96;
    SlotscanDll::SlotscanLibrary slotscan;
};

Form form;

HWND makeControl(const wchar_t* className, DWORD exStyle, DWORD style, std::string_view text,
                 const Twips::Rect& twips, int id, HFONT font) {
    const Twips::Rect r = Twips::toPixels(twips, form.dpiX, form.dpiY);
    const HWND control = CreateWindowExW(
        exStyle, className, WideText::fromUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style, r.left,
        r.top, r.width, r.height, form.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

std::wstring textOf(HWND control) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A text box shows the text the program gives it in the system's GUI font, or, where that
// font has no glyphs for some of it (无 in an English or C locale), in the GUI font asked
// for in GB2312. The font is chosen when the program sets the text, not on every edit:
// the window handles no change events of its own.
void fitFont(HWND box) {
    const HFONT gui = ControlFonts::guiFont();
    const HFONT wanted = ControlFonts::hasGlyphs(gui, textOf(box)) ? gui : form.chineseTextFont;
    if (reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)) != wanted) {
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(wanted), TRUE);
    }
}

HWND makeTextBox(std::string_view text, const Twips::Rect& twips, int id) {
    const HWND box = makeControl(L"EDIT", WS_EX_CLIENTEDGE, WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
                                 text, twips, id, ControlFonts::guiFont());
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);  // no limit
    fitFont(box);
    return box;
}

// A plain push button: never the default, so Enter presses it only while it has the focus.
HWND makeButton(std::string_view caption, const Twips::Rect& twips, int id) {
    return makeControl(L"BUTTON", 0, WS_TABSTOP | BS_PUSHBUTTON, caption, twips, id,
                       ControlFonts::guiFont());
}

// Controls are made in tab order (the card number, the two results, Exit, Read), which
// is the order Tab moves in; the labels take no focus.
void createControls() {
    using namespace FormDesign;
    const HDC dc = GetDC(form.window);
    const std::wstring face = ControlFonts::kaitiFace(dc);
    ReleaseDC(form.window, dc);
    form.chineseTextFont = ControlFonts::guiFontInGb2312();
    form.label1Font = ControlFonts::labelFont(face, kLabel1Points, form.dpiY);
    form.label2Font = ControlFonts::labelFont(face, kLabel2Points, form.dpiY);

    form.txtCardNo = makeTextBox(kCardNoText, kTxtCardNo, kIdTxtCardNo);
    form.txtIOBase = makeTextBox(kNoResultText, kTxtIOBase, kIdTxtIOBase);
    form.txtIRQNO = makeTextBox(kNoResultText, kTxtIRQNO, kIdTxtIRQNO);
    makeButton(kExitCaption, kCommand1, kIdCommand1);
    makeButton(kReadCaption, kReadCardNO, kIdReadCardNO);

    const DWORD labelStyle = SS_LEFT | SS_NOPREFIX;
    form.label1 =
        makeControl(L"STATIC", 0, labelStyle, kLabel1Text, kLabel1, kIdLabel1, form.label1Font);
    for (size_t i = 0; i < kLabel2Texts.size(); ++i) {
        makeControl(L"STATIC", 0, labelStyle, kLabel2Texts[i], kLabel2[i],
                    kIdLabel2 + static_cast<int>(i), form.label2Font);
    }
    SetFocus(form.txtCardNo);
}

void setText(HWND control, std::string_view text) {
    SetWindowTextW(control, WideText::fromUtf8(text).c_str());
    fitFont(control);
}

void reportProblem(const std::string& message) {
    MessageBoxW(form.window, WideText::fromUtf8(message).c_str(),
                WideText::fromUtf8(FormDesign::kMessageTitle).c_str(), MB_OK | MB_ICONWARNING);
}

void readCard() {
    const CardText::CardNumber cardNo =
        CardText::parseCardNumber(WideText::toUtf8(textOf(form.txtCardNo)));
    if (!cardNo.ok()) {
        reportProblem(cardNo.problem);
        return;
    }
    if (const auto problem = form.slotscan.bind()) {
        reportProblem(*problem);
        return;
    }
    if (const auto card = form.slotscan.getIOBaseByCardNo(cardNo.value)) {
        setText(form.txtIOBase, CardText::formatIOBase(card->ioBase));
        setText(form.txtIRQNO, CardText::formatIrq(card->irq));
    } else {
        setText(form.txtIOBase, FormDesign::kNotFoundText);
        setText(form.txtIRQNO, FormDesign::kNotFoundText);
    }
}

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdReadCardNO) {
                readCard();
            } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kIdCommand1) {
                DestroyWindow(window);
            }
            return 0;  // IDOK and IDCANCEL (Enter and Esc) do nothing
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == form.label1) {
                const HDC dc = reinterpret_cast<HDC>(wParam);
                const FormDesign::Colour c = FormDesign::kLabel1Colour;
                SetTextColor(dc, RGB(c.red, c.green, c.blue));
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // Twips are turned into pixels at the display's own DPI, not a scaled 96.
    SetProcessDPIAware();
    const HDC screen = GetDC(nullptr);
    form.dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    form.dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = formProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0) return 1;

    // A fixed frame around a client area of the designed size, at the designed place.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const Twips::Rect client = Twips::toPixels(FormDesign::kForm, form.dpiX, form.dpiY);
    RECT frame{0, 0, client.width, client.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    form.window = CreateWindowExW(0, kClassName, WideText::fromUtf8(FormDesign::kCaption).c_str(),
                                  style, client.left, client.top, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (form.window == nullptr) return 1;
    createControls();
    ShowWindow(form.window, show);
    UpdateWindow(form.window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab and Shift+Tab move the focus; Enter and Esc send IDOK and IDCANCEL, ignored.
        if (IsDialogMessageW(form.window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(form.label1Font);
    DeleteObject(form.label2Font);
    DeleteObject(form.chineseTextFont);
    return static_cast<int>(message.wParam);
}
