// A StatusNotifierItem host of the test's own, on a private session bus: the
// watcher the item registers with, and the item and its D-Bus menu read back.
#pragma once

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <QtEndian>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "lamps/tray_lamp_qt.h"
#include "lamps/tray_pictures.h"
#include "support/files.h"

namespace sni {

// Runs the test thread's events (incoming calls and signals) while waiting.
template <typename Condition>
bool Pump(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return testsupport::WaitFor(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        limit);
}

// Qt docks its icon by StatusNotifierItem only when a watcher with a host is
// on the bus as the icon is made.
class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)

  public:
    QString service;
    QString path;
    bool HostRegistered() const { return true; }

  public slots:
    void RegisterStatusNotifierItem(const QString& item) {
        // Qt names an object path on its own connection rather than a bus name.
        service = item.startsWith(QLatin1Char('/')) ? message().service() : item;
        path = item.startsWith(QLatin1Char('/')) ? item : QStringLiteral("/StatusNotifierItem");
    }
    void RegisterStatusNotifierHost(const QString& /*host*/) {}
};

class SignalCounter : public QObject {
    Q_OBJECT
  public:
    std::map<std::string, int> seen;
    std::function<void()> then;
  public slots:
    void Count(const QDBusMessage& message) {
        ++seen[message.member().toStdString()];
        if (then) {
            then();
        }
    }
};

struct MenuItem {
    int id = 0;
    QVariantMap properties;
};

// The tray item as a host sees it.
class Host {
  public:
    explicit Host(const QString& address) : m_bus(QDBusConnection::connectToBus(address, "host")) {
        m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &m_watcher,
                             QDBusConnection::ExportAllContents);
        m_bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    ~Host() { QDBusConnection::disconnectFromBus("host"); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool Ready() const { return m_bus.isConnected(); }

    // Waits for the item; from then on its NewIcon signals are counted, and
    // each runs onNewIcon.
    bool WaitForItem(std::function<void()> onNewIcon = {}) {
        m_counter.then = std::move(onNewIcon);
        if (!Pump([this] { return !m_watcher.service.isEmpty(); })) {
            return false;
        }
        m_bus.connect(m_watcher.service, m_watcher.path,
                      QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("NewIcon"),
                      &m_counter, SLOT(Count(QDBusMessage)));
        return true;
    }

    QVariantMap Properties() {
        const QDBusMessage reply = Call(m_watcher.path, "org.freedesktop.DBus.Properties", "GetAll",
                                        {QStringLiteral("org.kde.StatusNotifierItem")});
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }

    // The picture shown ("Idle", "Receive", "Send", "Both"), or what else is there.
    std::string IconShows() {
        const QDBusArgument pixmaps = Properties().value("IconPixmap").value<QDBusArgument>();
        QByteArray shown;
        pixmaps.beginArray();
        while (!pixmaps.atEnd()) {
            int width = 0;
            int height = 0;
            QByteArray argb;
            pixmaps.beginStructure();
            pixmaps >> width >> height >> argb;
            pixmaps.endStructure();
            if (width == kTrayPictureSize && height == kTrayPictureSize) {
                shown = argb;
            }
        }
        pixmaps.endArray();
        const std::pair<TrayLampState, const char*> names[] = {{TrayLampState::Idle, "Idle"},
                                                               {TrayLampState::Receive, "Receive"},
                                                               {TrayLampState::Send, "Send"},
                                                               {TrayLampState::Both, "Both"}};
        for (const auto& [state, name] : names) {
            if (shown == Argb(TrayLampImage(state))) {
                return name;
            }
        }
        return shown.isEmpty() ? "no 32x32 picture" : "another picture";
    }

    // NewIcon signals so far; the reply to a call comes after every signal the
    // item sent before it, so none is still on its way.
    int NewIcons() {
        Call("/", "org.freedesktop.DBus.Peer", "Ping", {});
        QCoreApplication::processEvents();
        return m_counter.seen["NewIcon"];
    }

    // The menu's items in order, the root left out.
    std::vector<MenuItem> MenuLayout() {
        const QDBusMessage reply =
            Call(MenuPath(), "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
        std::vector<MenuItem> items;
        const QDBusArgument root = reply.arguments().value(1).value<QDBusArgument>();
        root.beginStructure();
        MenuItem ignored;
        root >> ignored.id >> ignored.properties;
        root.beginArray();
        while (!root.atEnd()) {
            QDBusVariant child;
            root >> child;
            const QDBusArgument item = child.variant().value<QDBusArgument>();
            MenuItem entry;
            item.beginStructure();
            item >> entry.id >> entry.properties;
            item.endStructure();
            items.push_back(entry);
        }
        root.endArray();
        root.endStructure();
        return items;
    }

    QString MenuPath() { return Properties().value("Menu").value<QDBusObjectPath>().path(); }

    // A click on the item, as a host sends it.
    void Click(int id) {
        Call(MenuPath(), "com.canonical.dbusmenu", "Event",
             {id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0U});
    }

  private:
    QDBusMessage Call(const QString& path, const char* interface, const char* method,
                      const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            m_watcher.service, path, QString::fromLatin1(interface), QString::fromLatin1(method));
        call.setArguments(arguments);
        return m_bus.call(call);
    }

    // ARGB32 in network byte order, as the item sends its pictures.
    static QByteArray Argb(const QImage& picture) {
        const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
        QByteArray bytes(image.sizeInBytes(), '\0');
        qToBigEndian<quint32>(image.constBits(), image.width() * image.height(), bytes.data());
        return bytes;
    }

    QDBusConnection m_bus;
    Watcher m_watcher;
    SignalCounter m_counter;
};

}  // namespace sni
