// The About dialog of the Windows build: template 135 and its web-page button.
#include <windows.h>
// windows.h first: shellapi.h relies on it.
#include <shellapi.h>

#include <string>

#include "base/utf16_win.h"
#include "resource.h"
#include "ui/about.h"
#include "ui/dialogs_win.h"
#include "ui/dialogs_win_internal.h"

namespace {

struct AboutData {
    std::string m_aboutText;
    std::string m_pageUrl;
};

// The question box and the desktop shell, for the shared web-page button logic.
class ShellWebPageHost final : public WebPageHost {
  public:
    explicit ShellWebPageHost(HWND dialog) : m_dialog(dialog) {}
    bool Ask(const std::string& question) override { return AskYesNo(m_dialog, question); }
    void OpenUrl(const std::string& url) override {
        ShellExecuteW(nullptr, nullptr, WideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }

  private:
    HWND m_dialog;
};

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            RegisterOpenDialog(dialog);
            const auto* data = reinterpret_cast<const AboutData*>(lParam);
            SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, WideFromUtf8(data->m_aboutText).c_str());
            return TRUE;  // the focus goes to the first tab stop, OK
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                case IDC_WEB_PAGE: {
                    const auto* data = reinterpret_cast<const AboutData*>(
                        GetWindowLongPtrW(dialog, GWLP_USERDATA));
                    ShellWebPageHost host(dialog);
                    OpenWebPage(data->m_pageUrl, host);
                    return TRUE;
                }
                default:
                    return FALSE;
            }
        case WM_DESTROY:
            UnregisterOpenDialog(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowAboutDialog(HWND owner, const std::string& aboutText, const std::string& pageUrl) {
    AboutData data{aboutText, pageUrl};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDialogProc,
                    reinterpret_cast<LPARAM>(&data));
}
