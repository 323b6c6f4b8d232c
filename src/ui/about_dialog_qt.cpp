// The About dialog of the Qt build: name and version, authorship and site in a
// centred read-only box, OK, and the button that offers the product page.
#include "ui/about_dialog_qt.h"

#include <QDesktopServices>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QString>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "resource.h"
#include "texts.h"
#include "ui/modal_qt.h"

namespace {

// Keeps Enter for itself, as the Win32 box with ES_WANTRETURN does: Enter typed
// in the text does not press OK.
class AboutTextBox final : public QTextEdit {
  public:
    using QTextEdit::QTextEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QTextEdit::keyPressEvent(event);
    }
};

// The question box sits over the About dialog, which waits for the answer.
class DesktopWebPage final : public WebPageHost {
  public:
    void SetParent(QWidget* parent) { m_parent = parent; }
    bool Ask(const std::string& question) override { return AskYesNo(question, m_parent); }
    void OpenUrl(const std::string& url) override {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
    }

  private:
    QWidget* m_parent = nullptr;
};

}  // namespace

std::unique_ptr<QDialog> CreateAboutDialog(const std::string& aboutText, const std::string& pageUrl,
                                           WebPageHost& host) {
    auto dialog = std::make_unique<QDialog>();
    QDialog& d = *dialog;
    d.setObjectName(QString::number(IDD_ABOUT));
    d.setWindowTitle(QStringLiteral(TEXT_ABOUT_TITLE));

    // Created in the template's order, which is also the tab order.
    auto* ok = new QPushButton(QStringLiteral(TEXT_ABOUT_OK), &d);
    ok->setObjectName(QString::number(IDOK));
    ok->setDefault(true);
    auto* webPage = new QPushButton(QStringLiteral(TEXT_ABOUT_WEB_BUTTON), &d);
    webPage->setObjectName(QString::number(IDC_WEB_PAGE));
    webPage->setAutoDefault(false);
    auto* text = new AboutTextBox(&d);
    text->setObjectName(QString::number(IDC_ABOUT_TEXT));

    text->setPlainText(ShownText(aboutText));
    text->selectAll();
    text->setAlignment(Qt::AlignHCenter);
    text->moveCursor(QTextCursor::Start);
    text->setReadOnly(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setFocusPolicy(Qt::StrongFocus);
    text->setTabChangesFocus(true);
    text->setLineWrapMode(QTextEdit::NoWrap);
    text->setFrameShape(QFrame::NoFrame);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Read-only text on the dialog's own background, as a Win32 read-only edit shows it.
    QPalette palette = text->palette();
    palette.setColor(QPalette::Base, d.palette().color(QPalette::Window));
    text->setPalette(palette);
    const QFontMetrics metrics(text->font());
    text->setFixedHeight(metrics.lineSpacing() * 4 +
                         2 * static_cast<int>(text->document()->documentMargin()));
    text->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral(TEXT_SITE_URL)) * 3 / 2);

    // One width for both buttons, as in the template.
    const int buttonWidth = std::max(ok->sizeHint().width(), webPage->sizeHint().width());
    ok->setMinimumWidth(buttonWidth);
    webPage->setMinimumWidth(buttonWidth);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(webPage);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(text);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget::setTabOrder(ok, webPage);
    QWidget::setTabOrder(webPage, text);

    QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
    QObject::connect(webPage, &QPushButton::clicked, &d,
                     [pageUrl, &host] { OpenWebPage(pageUrl, host); });

    ok->setFocus();
    d.adjustSize();
    CentreOnScreen(d);
    return dialog;
}

void RunAboutDialog(const std::string& aboutText, const std::string& pageUrl) {
    DesktopWebPage host;
    std::unique_ptr<QDialog> dialog = CreateAboutDialog(aboutText, pageUrl, host);
    host.SetParent(dialog.get());
    RunModal(*dialog);
}
