#!/usr/bin/env bash
# A desktop session with a real panel whose tray shows StatusNotifierItems, for
# the tests and the measurements: Xfce's panel on the X display $DISPLAY
# (xfce), or sway on its headless backend with waybar and, for a pointer and a
# keyboard, wayvnc on the socket $HOME/vnc (sway). sway refuses root: run this
# as an ordinary user. $HOME is the session's runtime folder too: the panels'
# set-up goes to $HOME/.config, the session bus listens on $HOME/bus (a path,
# which other network namespaces reach), and its NewIcon signals are logged to
# $HOME/updates. Once the panel's tray is on the bus, the variables a program
# of the session needs go to $HOME/session, one VAR=value a line. Runs until
# TERM or INT, then ends what it started.
# Usage: panel-session.sh xfce|sway
set -euo pipefail
cd "$HOME"
# What does not end within ten seconds of TERM is killed.
trap 'jobs=$(jobs -p); kill $jobs 2>/dev/null
    for job in $jobs; do timeout 10 tail --pid="$job" -s 0.1 -f /dev/null || kill -9 "$job"; done
    wait; exit 0' TERM INT
# No accessibility bus and no settings daemon: the bus starts neither.
export XDG_CONFIG_HOME=$HOME/.config XDG_RUNTIME_DIR=$HOME NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$HOME/bus
# Xfce's panel with its tray alone, dark, at the top; sway's screen and waybar
# as dark, so that what the panels draw light stands out.
mkdir -p .config/xfce4/xfconf/xfce-perchannel-xml .config/waybar
cat >.config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml <<'EOF'
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="size" type="uint" value="32"/>
      <property name="background-style" type="uint" value="1"/>
      <property name="background-rgba" type="array">
        <value type="double" value="0.25"/><value type="double" value="0.25"/>
        <value type="double" value="0.25"/><value type="double" value="1"/>
      </property>
      <property name="plugin-ids" type="array"><value type="int" value="1"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
EOF
echo 'output * mode 1024x768 bg #202020 solid_color' >.config/sway
echo '{"modules-right": ["tray"]}' >.config/waybar/config
echo 'window#waybar { background: #404040; }' >.config/waybar/style.css

dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" </dev/null &
# The socket's file comes before the daemon takes connections.
until gdbus call --session -d org.freedesktop.DBus -o / -m org.freedesktop.DBus.GetId \
    >/dev/null 2>&1; do sleep 0.01; done
dbus-monitor "type='signal',member='NewIcon'" </dev/null >updates &
variables=(DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR)
case ${1:-} in
xfce)
    xfce4-panel --disable-wm-check </dev/null &
    ;;
sway)
    unset DISPLAY
    WLR_BACKENDS=headless WLR_RENDERER=pixman sway -c .config/sway </dev/null &
    # sway names its sockets itself, the IPC one last.
    until compgen -G 'sway-ipc.*.sock' >/dev/null; do sleep 0.01; done
    WAYLAND_DISPLAY=$(compgen -G 'wayland-*' | grep -vx '.*\.lock' | head -n1)
    SWAYSOCK=$(compgen -G "$HOME/sway-ipc.*.sock")
    export WAYLAND_DISPLAY SWAYSOCK
    variables+=(WAYLAND_DISPLAY SWAYSOCK)
    waybar </dev/null &
    wayvnc --unix-socket vnc </dev/null &
    until [ -S vnc ]; do sleep 0.01; done
    ;;
*)
    echo "usage: $0 xfce|sway" >&2
    exit 2
    ;;
esac
gdbus wait --session --timeout 60 org.kde.StatusNotifierWatcher
for variable in "${variables[@]}"; do echo "$variable=${!variable}"; done >session.new
mv session.new session
wait
