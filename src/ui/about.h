// What both builds' About dialogs show and do: the text, and the web-page
// button's question before the desktop opens the page.
#pragma once

#include <string>

// The About dialog's text: name and version, authorship, an empty line, the site.
std::string AboutText();

// The yes-or-no question and the desktop's opener, for the About dialog's button.
class WebPageHost {
  public:
    virtual ~WebPageHost() = default;
    // True unless the answer was No.
    virtual bool Ask(const std::string& question) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
};

// The About dialog's web-page button: asks, and hands the page to the desktop
// unless the answer was No.
void OpenWebPage(const std::string& pageUrl, WebPageHost& host);
