// A small Windows program that the end-to-end tests run under Wine beside Velumin.exe:
// it finds Velumin's windows and works them as a user would, and reports what it sees.
// Exit status 0 when the command succeeded or the answer is yes, 1 otherwise, 2 on misuse.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resource.h"

namespace {

struct Search {
    int childId;
    const wchar_t* className;
    HWND found;
};

// The first top-level window of the class that holds a child with childId (0: any).
HWND FindTopLevel(const wchar_t* className, int childId) {
    Search search{childId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* s = reinterpret_cast<Search*>(parameter);
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (wcscmp(name, s->className) != 0) {
                return TRUE;
            }
            if (s->childId != 0 && GetDlgItem(window, s->childId) == nullptr) {
                return TRUE;
            }
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// How many visible dialogs hold a control with childId.
int CountDialogs(int childId) {
    Search search{childId, L"#32770", nullptr};
    int count = 0;
    struct Counting {
        Search* search;
        int* count;
    } counting{&search, &count};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto* c = reinterpret_cast<Counting*>(parameter);
            wchar_t name[32] = {};
            GetClassNameW(window, name, 32);
            if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window) &&
                GetDlgItem(window, c->search->childId) != nullptr) {
                ++*c->count;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&counting));
    return count;
}

// The hidden host: the only dialog with the two "Button1" buttons 1011 and 1015.
HWND FindHost() {
    HWND candidate = FindTopLevel(L"#32770", IDM_SETTINGS);
    return candidate != nullptr && GetDlgItem(candidate, IDM_KEYBOARD_LED) != nullptr ? candidate
                                                                                      : nullptr;
}

// A dialog by a control only it has: 1012 Settings, 1009 About, 0xFFFF a message box.
HWND FindDialog(int childId) {
    HWND dialog = FindTopLevel(L"#32770", childId);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

void PrintUtf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    std::fputs(utf8.c_str(), stdout);
    std::fputs("\n", stdout);
}

// WM_GETTEXT itself: GetWindowTextW of another process's window reads only the
// caption kept by the system, which an edit control never sets.
std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return text;
}

int Usage() {
    std::fputs(
        "usage: host | hidden | close | keys-to-host | endsession | menu | dialog ID | count ID |\n"
        "       text ID CONTROL "
        "|\n"
        "       click ID CONTROL | select ID CONTROL INDEX | checked ID CONTROL |\n"
        "       selection ID CONTROL | answer yes|no\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    // Texts go out as they are, their CR LF pairs included.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argv[1];
    const auto arg = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };

    if (command == "host") {
        return FindHost() != nullptr ? 0 : 1;
    }
    if (command == "hidden") {
        HWND host = FindHost();
        return host != nullptr && !IsWindowVisible(host) ? 0 : 1;
    }
    if (command == "close") {
        HWND host = FindHost();
        return host != nullptr && PostMessageW(host, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if (command == "keys-to-host") {
        // Enter and Escape, as the dialog manager gets them when the host has the focus.
        HWND host = FindHost();
        HWND button = host != nullptr ? GetDlgItem(host, IDM_SETTINGS) : nullptr;
        if (button == nullptr) {
            return 1;
        }
        // On Windows the menu leaves the focus on the host's first button, which
        // the dialog manager then makes the default; Wine keeps no focus in a
        // hidden window, so the default is set here.
        SendMessageW(host, DM_SETDEFID, IDM_SETTINGS, 0);
        for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            PostMessageW(button, WM_KEYDOWN, key, 1);
            PostMessageW(button, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
        }
        return 0;
    }
    if (command == "endsession") {
        HWND host = FindHost();
        DWORD_PTR result = 0;
        return host != nullptr && SendMessageTimeoutW(host, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL,
                                                      30000, &result)
                   ? 0
                   : 1;
    }
    if (command == "menu") {
        // The open popup menu: its rectangle on the screen.
        HWND menu = FindTopLevel(L"#32768", 0);
        if (menu == nullptr || !IsWindowVisible(menu)) {
            return 1;
        }
        RECT rect{};
        GetWindowRect(menu, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
        return 0;
    }
    if (command == "dialog") {
        HWND dialog = FindDialog(arg(2));
        if (dialog == nullptr) {
            return 1;
        }
        PrintUtf8(TextOf(dialog));
        return 0;
    }
    if (command == "count") {
        std::printf("%d\n", CountDialogs(arg(2)));
        return 0;
    }
    if (command == "answer" && argc > 2) {
        HWND box = FindDialog(0xFFFF);
        const WPARAM button = std::strcmp(argv[2], "yes") == 0 ? IDYES : IDNO;
        return box != nullptr && PostMessageW(box, WM_COMMAND, button, 0) ? 0 : 1;
    }
    if (argc < 4) {
        return Usage();
    }
    HWND dialog = FindDialog(arg(2));
    HWND control = dialog != nullptr ? GetDlgItem(dialog, arg(3)) : nullptr;
    if (control == nullptr) {
        return 1;
    }
    if (command == "text") {
        PrintUtf8(TextOf(control));
        return 0;
    }
    if (command == "click") {
        // Posted: a button whose handler opens a modal box would block a sent click.
        return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (command == "checked") {
        return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 0 : 1;
    }
    if (command == "select" && argc > 4) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(arg(4)), 0);
        return 0;
    }
    if (command == "selection") {
        std::printf("%ld\n", static_cast<long>(SendMessageW(control, CB_GETCURSEL, 0, 0)));
        return 0;
    }
    return Usage();
}
