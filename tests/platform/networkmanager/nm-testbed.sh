#!/usr/bin/env bash
# A real NetworkManager for the tests, kept away from the host's own network:
#
#   nm-testbed.sh up DIR OWNER_PID   brings it up; prints KEY=VALUE lines
#   nm-testbed.sh down DIR           tears down everything it brought up
#   nm-testbed.sh cut DIR | mend DIR  takes the far end's link down / up
#   nm-testbed.sh nm-stop DIR | nm-start DIR  stops / starts NetworkManager
#   nm-testbed.sh modem DIR          starts the stand-in ModemManager
#
# DIR is a private folder of the test run (the bus socket, NetworkManager's
# state, logs); the namespace names carry OWNER_PID, so that parallel runs do
# not meet. A watcher tears the testbed down when OWNER_PID ends, also when a
# test crashed before it could.
#
# Layout: a private system bus on DIR/bus; namespace nm-PID runs
# NetworkManager with veth-c (and veth-m, the stand-in modem's data port);
# namespace isp-PID runs a DHCP server (dnsmasq) on veth-s, 10.77.0.0/24,
# which also sends router advertisements for 2001:db8:77::/64 (a profile
# with ipv6.method auto gets an address there; with addr-gen-mode eui64
# and a random hardware address, a new one each activation). Duplicate
# address detection is off in both namespaces, so that no IPv6 address
# waits a second before it can be used.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
command=${1:-}
dir=${2:-}
[[ -n "$command" && -n "$dir" ]] || { echo "usage: $0 up|down|cut|mend|nm-stop|nm-start|modem DIR [OWNER_PID]" >&2; exit 2; }
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

read_owner() { cat "$dir/owner" 2>/dev/null || true; }

names() {
  local owner=$1
  nmns=dravik-nm-$owner
  ispns=dravik-isp-$owner
}

bus_address() { echo "unix:path=$dir/bus"; }

# Stops the processes whose pid files are given: all asked at once, then
# killed after 5 s.
stop_pidfile() {
  local file pids=()
  for file in "$@"; do
    [[ -s "$file" ]] && pids+=("$(cat "$file")")
  done
  if [[ ${#pids[@]} -gt 0 ]]; then
    kill "${pids[@]}" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "${pids[@]}" 2>/dev/null || break; sleep 0.05; done
    kill -9 "${pids[@]}" 2>/dev/null || true
  fi
  rm -f "$@"
}

write_bus_config() {
  cat >"$dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow eavesdrop="false"/>
  </policy>
</busconfig>
EOF
}

write_nm_config() {
  mkdir -p "$dir/nm/profiles" "$dir/nm/run" "$dir/nm/lib"
  chmod 700 "$dir/nm/profiles"
  cat >"$dir/nm/NetworkManager.conf" <<EOF
[main]
plugins=keyfile
dhcp=internal
auth-polkit=false
dns=none
rc-manager=unmanaged
hostname-mode=none
no-auto-default=*

[keyfile]
path=$dir/nm/profiles
unmanaged-devices=interface-name:lo

[connectivity]
enabled=false

[logging]
level=DEBUG
EOF
}

start_nm() {
  local owner
  owner=$(read_owner)
  names "$owner"
  # The mount namespace of "ip netns exec" is NetworkManager's own: /sys read
  # only (it then does not wait for udev), a fresh /run whose NetworkManager
  # folder outlives a restart (so that it takes over the connections it left
  # up), its state folder bound over the host's.
  ip netns exec "$nmns" unshare --mount --propagation private sh -c '
    mount -o bind,remount,ro /sys /sys 2>/dev/null || mount -o remount,ro /sys
    mount -t tmpfs tmpfs /run
    mkdir -p /run/NetworkManager
    mount --bind "$1/run" /run/NetworkManager
    mount --bind "$1/lib" /var/lib/NetworkManager
    export DBUS_SYSTEM_BUS_ADDRESS="$2"
    exec NetworkManager --no-daemon --debug --config="$3"
  ' sh "$dir/nm" "$(bus_address)" "$dir/nm/NetworkManager.conf" \
    >>"$dir/nm.log" 2>&1 </dev/null &
  echo $! >"$dir/nm.pid"
  # Ready when it no longer reports start-up.
  for _ in $(seq 200); do
    if [[ "$(DBUS_SYSTEM_BUS_ADDRESS=$(bus_address) busctl --system get-property \
      org.freedesktop.NetworkManager /org/freedesktop/NetworkManager \
      org.freedesktop.NetworkManager Startup 2>/dev/null)" == "b false" ]]; then
      local device
      for device in veth-c veth-m; do
        ip netns exec "$nmns" ip link show "$device" >/dev/null 2>&1 || continue
        DBUS_SYSTEM_BUS_ADDRESS=$(bus_address) nmcli dev set "$device" managed yes \
          >/dev/null 2>&1 || true
      done
      return 0
    fi
    kill -0 "$(cat "$dir/nm.pid")" 2>/dev/null || break
    sleep 0.05
  done
  echo "nm-testbed: NetworkManager did not start; see $dir/nm.log" >&2
  return 1
}

down() {
  local owner
  owner=$(read_owner)
  stop_pidfile "$dir/watch.pid" "$dir/modem.pid" "$dir/nm.pid" "$dir/dnsmasq.pid"
  stop_pidfile "$dir/bus.pid"
  if [[ -n "$owner" ]]; then
    names "$owner"
    ip netns del "$nmns" 2>/dev/null || true
    ip netns del "$ispns" 2>/dev/null || true
  fi
  rm -f "$dir/bus" "$dir/owner"
}

up() {
  local owner=$1
  [[ "$owner" =~ ^[0-9]+$ ]] || { echo "nm-testbed: owner must be a process id" >&2; exit 2; }
  echo "$owner" >"$dir/owner"
  names "$owner"
  trap 'down' ERR

  write_bus_config
  dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile --print-address \
    >"$dir/bus.address" 2>"$dir/bus.log" </dev/null &
  echo $! >"$dir/bus.pid"
  for _ in $(seq 100); do [[ -S "$dir/bus" ]] && break; sleep 0.02; done
  [[ -S "$dir/bus" ]] || { echo "nm-testbed: the bus did not start" >&2; false; }

  ip netns add "$nmns"
  ip netns add "$ispns"
  ip -n "$nmns" link set lo up
  ip -n "$ispns" link set lo up
  local ns
  for ns in "$nmns" "$ispns"; do
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.accept_dad=0 \
      net.ipv6.conf.default.accept_dad=0 net.ipv6.conf.default.dad_transmits=0
  done
  ip link add veth-c netns "$nmns" type veth peer name veth-s netns "$ispns"
  ip -n "$ispns" addr add 10.77.0.1/24 dev veth-s
  ip -n "$ispns" addr add 2001:db8:77::1/64 dev veth-s nodad
  ip -n "$ispns" link set veth-s up
  # The stand-in modem's data port: its far end carries the bearer's peer.
  ip link add veth-m netns "$nmns" type veth peer name veth-mp netns "$ispns"
  ip -n "$ispns" addr add 10.78.0.1/24 dev veth-mp
  ip -n "$ispns" link set veth-mp up

  ip netns exec "$ispns" dnsmasq --keep-in-foreground --port=0 --no-ping --bind-interfaces \
    --interface=veth-s --except-interface=lo --dhcp-range=10.77.0.10,10.77.0.250,2m \
    --enable-ra --dhcp-range=2001:db8:77::,ra-only,64,2m \
    --dhcp-authoritative --dhcp-leasefile="$dir/dnsmasq.leases" --pid-file= \
    --conf-file=/dev/null --log-facility="$dir/dnsmasq.log" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/dnsmasq.pid"

  write_nm_config
  start_nm

  # Tears the testbed down once the owner is gone, however it ended.
  setsid bash -c '
    while kill -0 "$1" 2>/dev/null; do sleep 0.5; done
    rm -f "$3/watch.pid"
    exec "$2" down "$3"
  ' watch "$owner" "$here/nm-testbed.sh" "$dir" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/watch.pid"
  trap - ERR

  echo "DBUS_SYSTEM_BUS_ADDRESS=$(bus_address)"
  echo "NM_NETNS=$nmns"
  echo "ISP_NETNS=$ispns"
}

case "$command" in
  up) up "${3:-}" ;;
  down) down ;;
  cut | mend)
    names "$(read_owner)"
    ip -n "$ispns" link set veth-s "$([[ $command == cut ]] && echo down || echo up)"
    ;;
  nm-stop) stop_pidfile "$dir/nm.pid" ;;
  nm-start) start_nm ;;
  modem)
    DBUS_SYSTEM_BUS_ADDRESS=$(bus_address) /usr/bin/python3 "$here/fake-modemmanager.py" \
      "${@:3}" >>"$dir/modem.log" 2>&1 </dev/null &
    echo $! >"$dir/modem.pid"
    for _ in $(seq 100); do
      DBUS_SYSTEM_BUS_ADDRESS=$(bus_address) busctl --system status \
        org.freedesktop.ModemManager1 >/dev/null 2>&1 && exit 0
      sleep 0.05
    done
    echo "nm-testbed: the stand-in ModemManager did not start; see $dir/modem.log" >&2
    exit 1
    ;;
  *) echo "nm-testbed: unknown command $command" >&2; exit 2 ;;
esac
