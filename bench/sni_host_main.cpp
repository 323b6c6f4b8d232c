// A StatusNotifierItem host for scripts/measure-performance.sh: the watcher on
// $DBUS_SESSION_BUS_ADDRESS, reading the icon's pictures again at every
// NewIcon as a panel does, until it is ended.
#include <cstdio>

#include "e2e/sni_host_linux.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    sni::Host host(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    if (!host.Ready()) {
        std::fputs("no session bus\n", stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    if (!host.WaitForItem([&host] { host.IconShows(); })) {
        std::fputs("no item registered\n", stderr);
        return 1;
    }
    std::puts("item");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
