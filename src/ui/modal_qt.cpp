// Modal runs and the yes-or-no question of the Qt build.
#include "ui/modal_qt.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QEventLoop>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QTranslator>
#include <QWidget>

#include "lamps/tray_lamp_qt.h"
#include "lamps/tray_pictures.h"
#include "texts.h"

void SetUpDialogs(QApplication& app) {
    QIcon icon;
    for (const LampPicture& picture : ApplicationIconPictures()) {
        icon.addPixmap(QPixmap::fromImage(LampPictureImage(picture)));
    }
    QApplication::setWindowIcon(icon);
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
}

int RunModal(QDialog& dialog) {
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    // A quit of the application (the program's stop) ends this loop as well.
    loop.exec(QEventLoop::DialogExec);
    dialog.hide();
    return dialog.result();
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    window.move(screen->availableGeometry().center() - window.rect().center());
}

QString ShownText(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

bool AskYesNo(const std::string& question, QWidget* parent) {
    QMessageBox box(QMessageBox::Question, QStringLiteral(TEXT_APP_TITLE), ShownText(question),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(QMessageBox::Yes);
    box.button(QMessageBox::Yes)->setText(QStringLiteral(TEXT_YES));
    box.button(QMessageBox::No)->setText(QStringLiteral(TEXT_NO));
    // A message box is application-modal by default, which would block the
    // tray icon; only the window it asks for waits.
    box.setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
    const bool yes = RunModal(box) != QMessageBox::No;
    // Back to the window that asked, also where no window manager hands it back.
    if (parent != nullptr) {
        parent->activateWindow();
    }
    return yes;
}
