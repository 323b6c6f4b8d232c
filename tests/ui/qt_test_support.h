// Small helpers for driving Qt widgets in tests.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <string>
#include <vector>

#include "support/virtual_desktop_linux.h"

namespace qttest {

// Processes events until condition holds; false when it never did.
template <typename Condition>
bool WaitFor(Condition condition) {
    return testsupport::WaitFor([&] {
        QApplication::processEvents();
        return condition();
    });
}

// Shows the window and waits until it has the keyboard focus.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

inline QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->objectName() : QString();
}

// The focus chain from the current focus, one Tab at a time, count steps.
inline std::vector<std::string> TabChain(int count) {
    std::vector<std::string> names{FocusName().toStdString()};
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names.push_back(FocusName().toStdString());
    }
    return names;
}

// The first shown top-level window of the given kind, or nullptr.
template <typename Window>
Window* VisibleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<Window*>(widget);
        if (window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

}  // namespace qttest
