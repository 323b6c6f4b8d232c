// Modal runs and the yes-or-no question of the Qt build.
#pragma once

#include <string>

class QApplication;
class QDialog;
class QString;
class QWidget;

// Gives every window the program's icon, and Qt's own texts (a text box's
// menu, standard buttons) in Japanese like the rest of the interface, from
// Qt's translations where the system has them.
void SetUpDialogs(QApplication& app);

// Runs the dialog in an event loop of its own and returns its result. Unlike
// QDialog::exec it blocks no other window, so the tray icon keeps answering
// while a dialog is open, as it does on Windows.
int RunModal(QDialog& dialog);

// Places a top-level window in the middle of the screen that holds the pointer.
void CentreOnScreen(QWidget& window);

// One of the program's texts (UTF-8, lines ended by CR LF as Windows wants
// them) as Qt shows it.
QString ShownText(const std::string& text);

// Asks with はい(Y) (the default) and いいえ(N) and the question icon, titled "Velumin".
// True unless the answer was No. With a parent, only that window waits.
bool AskYesNo(const std::string& question, QWidget* parent = nullptr);
