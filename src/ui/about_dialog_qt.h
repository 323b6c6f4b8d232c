// The About dialog of the Qt build.
#pragma once

#include <memory>
#include <string>

#include "ui/about.h"

class QDialog;

// The dialog showing aboutText, its button offering pageUrl through host;
// parentless and not yet shown. Each control's objectName is its id.
std::unique_ptr<QDialog> CreateAboutDialog(const std::string& aboutText, const std::string& pageUrl,
                                           WebPageHost& host);

// Runs the dialog; its button asks and hands the page to the desktop's opener.
void RunAboutDialog(const std::string& aboutText, const std::string& pageUrl);
