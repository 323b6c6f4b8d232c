// The Settings dialog of the Qt build.
#pragma once

#include <memory>

#include "ui/settings_form.h"

class QDialog;

// The dialog with its controls filled from form and the enabling rule applied,
// parentless and not yet shown. Each control's objectName is its id.
std::unique_ptr<QDialog> CreateSettingsDialog(const SettingsForm& form);

// The members as the dialog's controls hold them.
SettingsForm ReadSettingsDialog(QDialog& dialog);

// Runs the dialog on form; true when it ended with OK, form then holding the
// controls' values.
bool RunSettingsDialog(SettingsForm& form);
