// The About dialog's text and its web-page button, shared by both builds.
#include "ui/about.h"

#include "texts.h"

std::string AboutText() {
    return "Velumin Version" TEXT_VERSION "\r\n" TEXT_AUTHORSHIP "\r\n\r\n" TEXT_SITE_URL "\r\n";
}

void OpenWebPage(const std::string& pageUrl, WebPageHost& host) {
    if (host.Ask(TEXT_WEB_QUESTION_BEFORE + pageUrl + TEXT_WEB_QUESTION_AFTER)) {
        host.OpenUrl(pageUrl);
    }
}
