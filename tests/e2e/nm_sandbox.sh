#!/bin/bash
# End-to-end test of applying a profile on a real NetworkManager.
#
# Usage: nm_sandbox.sh DRIVER WORKDIR
#   DRIVER   the driver program; it is run as "DRIVER static" and "DRIVER dhcp" inside the
#            client namespace and applies a profile through the program's own code; the
#            program itself (norvane, built beside it) is run there with --apply, --show,
#            --capture and --list on a profile.dat of its own
#   WORKDIR  this test's state (logs, configuration, recorded PIDs), made afresh by each run
#
# The whole network lives in two private network namespaces joined by one veth pair:
#   norvane-e2e-cli  "the PC": the interface under test, a private system bus, NetworkManager
#   norvane-e2e-srv  "the LAN": the gateway address 192.0.2.1 and dnsmasq as DHCP server
# NetworkManager runs in its own mount namespace where /run and /var/lib/NetworkManager come
# from WORKDIR, /etc is an overlay whose changes land in WORKDIR, and /sys is read-only (with
# /sys writable NetworkManager waits for udev, and there is no udevd here). Nothing is
# configured in the host's network namespace, /etc, /run or /var/lib.
#
# Exit status: 0 all checks passed, 1 a check failed, 77 skipped (not root, or
# NetworkManager, dnsmasq or dbus-daemon not installed). NORVANE_E2E_INSTEAD: see below (the
# benchmark, bench/submit/run.sh).
# shellcheck disable=SC2317  # functions run by trap and by check
set -u

NS_CLI=norvane-e2e-cli
NS_SRV=norvane-e2e-srv
IF_CLI=nve2e0
IF_SRV=nve2e1
SRV_IP=192.0.2.1
CON="ローカル エリア接続"
LOCK=/run/lock/norvane-e2e.lock
# Everything this test may start; cleanup kills nothing else.
OUR_COMMS='^(dbus-daemon|NetworkManager|dnsmasq|nmcli|norvane-cmd|netconfig_e2e_d.*|ip|unshare|sh|env|setpriv)$'

log() { printf '[nm_sandbox] %s\n' "$*" >&2; }

# True while process $1 exists and is not a zombie (an orphan's parent may reap it late).
alive() {
    local stat
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
    stat=${stat##*) }
    [ "${stat:0:1}" != Z ]
}

# kill_recorded FILE COMM-REGEX: ends the process whose PID FILE records, if it still is the
# program it was (a PID may have been reused since), SIGTERM then SIGKILL after 5 s.
kill_recorded() {
    local file=$1 want=$2 pid
    [ -s "$file" ] || return 0
    pid=$(<"$file")
    if [[ "$pid" =~ ^[0-9]+$ ]] && grep -Eq "$want" "/proc/$pid/comm" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 50); do
            alive "$pid" || break
            sleep 0.1
        done
        alive "$pid" && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$file"
}

our_namespaces() { ip netns list 2>/dev/null | awk '{print $1}' | grep '^norvane-e2e-'; }

# Ends everything a run with state in directory $1 left behind, and every namespace of ours.
# Safe to call any number of times, also for a run that was killed.
cleanup_state() {
    local dir=$1 ns pid
    kill_recorded "$dir/driver.pid" '^netconfig_e2e_d'
    kill_recorded "$dir/dnsmasq.pid" '^dnsmasq$'
    kill_recorded "$dir/nm.pid" '^NetworkManager$'
    kill_recorded "$dir/dbus.pid" '^dbus-daemon$'
    # A run killed while it started one of the daemons may have left a process that never
    # made it into a PID file; the namespace it lives in is ours, and so is it.
    for ns in $(our_namespaces); do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            grep -Eq "$OUR_COMMS" "/proc/$pid/comm" 2>/dev/null && kill -9 "$pid" 2>/dev/null
        done
        ip netns del "$ns" 2>/dev/null
    done
}

# The start time of process $1 (field 22 of its stat), "" when there is no such process.
start_time() {
    local stat fields
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
    read -r -a fields <<<"${stat##*) }"  # the fields after the command's name, from the 3rd
    echo "${fields[19]}"
}

# --watch PID STARTTIME DIR: runs detached from the test; when the test process is gone
# (killed so hard that its own EXIT trap could not run), cleans up after it. It waits on a
# FIFO nobody writes to rather than with sleep, so that it leaves no child when it is ended.
if [ "${1:-}" = --watch ]; then
    watched=$2 started=$3 dir=$4
    trap '' INT HUP
    rm -f "$dir/watch.fifo"
    mkfifo "$dir/watch.fifo" && exec 8<>"$dir/watch.fifo"
    while alive "$watched" && [ "$(start_time "$watched")" = "$started" ]; do
        read -r -t 0.5 -u 8 _
    done
    exec 9>"$LOCK"
    flock -w 30 9
    cleanup_state "$dir"
    exit 0
fi

# Ends the watchdog whose PID FILE records (checking it is one), without waiting.
end_watchdog() {
    local pid
    [ -s "$1" ] || return 0
    pid=$(cat "$1")
    if [[ "$pid" =~ ^[0-9]+$ ]] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" |
        grep -q 'nm_sandbox\.sh --watch '; then
        kill "$pid" 2>/dev/null
    fi
    rm -f "$1"
}

DRIVER=${1:?usage: nm_sandbox.sh DRIVER WORKDIR}
W=${2:?usage: nm_sandbox.sh DRIVER WORKDIR}
DRIVER=$(realpath "$DRIVER")
W=$(realpath -m "$W")

if [ "$(id -u)" -ne 0 ]; then
    log "skipped: needs root (network namespaces, mounts)"
    exit 77
fi
for tool in ip NetworkManager nmcli dnsmasq dbus-daemon unshare ss flock mountpoint; do
    if ! command -v "$tool" >/dev/null; then
        log "skipped: $tool is not installed"
        exit 77
    fi
done

# Entering a network namespace makes / a slave mount, which needs / to be a mount point; in a
# chroot or some containers it is not. There the test runs again in a private mount
# namespace, chrooted into a bind mount of / (which is a mount point).
if ! mountpoint -q /; then
    if [ "${NORVANE_E2E_REROOTED:-0}" = 1 ]; then
        log "FAIL: / is not a mount point even in the private mount namespace"
        exit 1
    fi
    log "/ is not a mount point: running in a private mount namespace whose root is one"
    newroot=$(mktemp -d /tmp/norvane-e2e-root.XXXXXX) || {
        log "FAIL: cannot make a folder for the private root"
        exit 1
    }
    # shellcheck disable=SC2016  # expanded by the inner shells
    NORVANE_E2E_REROOTED=1 unshare --mount --propagation unchanged sh -c '
        root=$1
        shift
        mount --rbind / "$root" &&
            exec chroot "$root" sh -c "mount --make-rprivate / && exec \"\$@\"" sh "$@"' \
        sh "$newroot" bash "$(realpath "$0")" "$DRIVER" "$W"
    rc=$?
    # Where the folder's mount is shared, a copy of the bind mount appeared here too.
    umount -R -l "$newroot" 2>/dev/null
    rmdir "$newroot" 2>/dev/null
    exit "$rc"
fi

# One run at a time: the namespace names are fixed, and a namespace of ours that exists
# while we hold the lock is a leftover.
mkdir -p "$(dirname "$LOCK")"
exec 9>"$LOCK"
flock 9

mkdir -p "$W" || { log "FAIL: cannot make the work folder $W"; exit 1; }
cleanup_state "$W"
end_watchdog "$W/watch.pid"
# `ip netns add` makes /run/netns a mount point of its own when it is none; the test removes
# that mount again when it made it and no namespace is left in the folder.
netns_was_mounted=0
mountpoint -q /run/netns 2>/dev/null && netns_was_mounted=1

finish() {
    local rc=$?
    trap - EXIT INT TERM HUP
    cleanup_state "$W"
    end_watchdog "$W/watch.pid"
    if [ -n "$(our_namespaces)" ]; then
        log "FAIL: a namespace was left: $(our_namespaces | tr '\n' ' ')"
        rc=1
    elif [ "$netns_was_mounted" = 0 ] && [ -z "$(ip netns list 2>/dev/null)" ]; then
        while mountpoint -q /run/netns 2>/dev/null && umount /run/netns 2>/dev/null; do :; done
        if mountpoint -q /run/netns 2>/dev/null; then
            log "FAIL: /run/netns is still a mount point after the test"
            rc=1
        fi
    fi
    exit "$rc"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

# The watchdog: started twice forked and in its own session, so that whatever ends this
# script (and its process tree) does not end the watchdog with it.
(setsid bash "$0" --watch $$ "$(start_time $$)" "$W" 9>&- </dev/null \
    >/dev/null 2>&1 & echo $! >"$W/watch.pid")

rm -rf "$W"/{run,varlib,confd-empty,etc-upper,etc-work,system-connections}
mkdir -p "$W"/{run,varlib,confd-empty,etc-upper,etc-work,system-connections}
chmod 700 "$W/system-connections"
BUS=$W/system_bus_socket
rm -f "$BUS" "$W/dnsmasq.leases"
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$BUS

FAILS=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then
        log "PASS: $what"
    else
        log "FAIL: $what"
        FAILS=$((FAILS + 1))
    fi
}
fail_check() {
    log "FAIL: $1"
    FAILS=$((FAILS + 1))
}
wait_for() {  # wait_for SECONDS COMMAND...: polls every 0.1 s
    local tries=$(($1 * 10))
    shift
    while ! "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
die() {
    log "FAIL: $*"
    exit 1
}

# ---- the two namespaces and the wire between them
ip netns add "$NS_CLI" || die "cannot create network namespace $NS_CLI"
ip netns add "$NS_SRV" || die "cannot create network namespace $NS_SRV"
ip -n "$NS_CLI" link set lo up || die "cannot bring lo up in $NS_CLI"
ip -n "$NS_SRV" link set lo up || die "cannot bring lo up in $NS_SRV"
ip -n "$NS_CLI" link add "$IF_CLI" type veth peer name "$IF_SRV" netns "$NS_SRV" ||
    die "cannot create the veth pair"
ip -n "$NS_SRV" addr add "$SRV_IP/24" dev "$IF_SRV" || die "cannot give $IF_SRV its address"
ip -n "$NS_SRV" link set "$IF_SRV" up || die "cannot bring $IF_SRV up"

# ---- a private system bus that activates nothing (no <servicedir>); any user may connect, and
# NetworkManager lets only root change anything (auth-polkit=root-only)
cat >"$W/dbus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$BUS</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Introspectable"/>
    <allow send_destination="org.freedesktop.DBus"
           send_interface="org.freedesktop.DBus.Properties"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
</busconfig>
CONF
ip netns exec "$NS_CLI" dbus-daemon --config-file="$W/dbus.conf" --nofork --nopidfile \
    9>&- </dev/null >"$W/dbus.log" 2>&1 &
echo $! >"$W/dbus.pid"
wait_for 10 test -S "$BUS" || die "the private system bus did not start: $(cat "$W/dbus.log")"

# ---- NetworkManager: keyfile profiles in WORKDIR, only our veth managed, no automatic
# profiles, no connectivity checks, never the hostname (the UTS namespace is the host's)
cat >"$W/NetworkManager.conf" <<CONF
[main]
plugins=keyfile
dhcp=internal
dns=default
rc-manager=file
systemd-resolved=false
auth-polkit=root-only
no-auto-default=*
hostname-mode=none

[keyfile]
path=$W/system-connections
unmanaged-devices=except:interface-name:$IF_CLI

[connectivity]
enabled=false
CONF
# shellcheck disable=SC2016  # expanded by the inner shell
ip netns exec "$NS_CLI" unshare --mount --propagation private sh -c '
    W=$1
    mount -n --bind "$W/run" /run &&
    mount -n --bind "$W/varlib" /var/lib/NetworkManager &&
    mount -n -t overlay norvane-e2e-etc \
        -o "lowerdir=/etc,upperdir=$W/etc-upper,workdir=$W/etc-work" /etc &&
    mount -n -o remount,bind,ro /sys &&
    exec NetworkManager --debug --config="$W/NetworkManager.conf" \
        --config-dir="$W/confd-empty" --system-config-dir="$W/confd-empty" \
        --state-file="$W/varlib/NetworkManager.state" \
        --intern-config="$W/varlib/NetworkManager-intern.conf" \
        --pid-file="$W/run/nm-own.pid"' sh "$W" 9>&- </dev/null >"$W/nm.log" 2>&1 &
echo $! >"$W/nm.pid"
wait_for 30 sh -c "nmcli -t -f DEVICE,STATE device | grep -qx '$IF_CLI:disconnected'" ||
    die "NetworkManager did not take $IF_CLI over: $(tail -20 "$W/nm.log")"

# ---- the DHCP server on the far end (pool .100-.150; it names itself router and DNS)
ip netns exec "$NS_SRV" dnsmasq --conf-file=/dev/null --keep-in-foreground --port=0 \
    --interface="$IF_SRV" --bind-interfaces --except-interface=lo \
    --dhcp-range=192.0.2.100,192.0.2.150,255.255.255.0,1h \
    --dhcp-option=option:router,$SRV_IP --dhcp-option=option:dns-server,$SRV_IP,192.0.2.2 \
    --dhcp-leasefile="$W/dnsmasq.leases" --log-dhcp --log-facility=- --no-resolv --no-hosts \
    --dhcp-authoritative --no-ping --pid-file="$W/dnsmasq.own.pid" \
    9>&- </dev/null >"$W/dnsmasq.log" 2>&1 &
echo $! >"$W/dnsmasq.pid"
wait_for 10 sh -c "ip netns exec $NS_SRV ss -lun | grep -q ':67 '" ||
    die "dnsmasq did not start: $(cat "$W/dnsmasq.log")"

# ---- the user's connection, as it exists on a PC before the program is used
nmcli connection add type ethernet ifname "$IF_CLI" con-name "$CON" autoconnect no \
    ipv4.method auto ipv6.method disabled >/dev/null || die "cannot add the connection"
nmcli connection up id "$CON" >/dev/null || die "cannot bring the connection up"

# The benchmark's hook: with NORVANE_E2E_INSTEAD set, that command runs in the client
# namespace (with the connection up, "$CON" as its argument) instead of the checks below, and
# its status is the script's.
if [ -n "${NORVANE_E2E_INSTEAD:-}" ]; then
    # shellcheck disable=SC2086  # a command and its arguments, split at blanks
    ip netns exec "$NS_CLI" $NORVANE_E2E_INSTEAD "$CON" 9>&-
    exit $?
fi

addresses() {  # address/prefix and whether it is static or a lease (ip's flag "dynamic")
    ip -n "$NS_CLI" -4 -o addr show dev "$IF_CLI" |
        awk '{print $4, (/ dynamic / ? "dynamic" : "static")}'
}
default_routes() { ip -n "$NS_CLI" -4 route show default; }
subnet_routes() { ip -n "$NS_CLI" -4 route show 192.0.2.0/24; }
con_dns() { nmcli -g ipv4.dns connection show id "$CON"; }
dev_dns() { nmcli -g IP4.DNS device show "$IF_CLI" | tr '\n' ' ' | sed 's/ | / /g; s/ $//'; }
is() { [ "$1" = "$2" ]; }
# one_line TEXT REGEX: TEXT is a single line and matches REGEX.
one_line() { [ "$(printf '%s\n' "$1" | wc -l)" -eq 1 ] && [[ "$1" =~ $2 ]]; }
show_state() {
    log "addresses: $(addresses | tr '\n' ' ')"
    ip -n "$NS_CLI" -4 route show | sed 's/^/[nm_sandbox] route: /' >&2
    log "ipv4.dns: [$(con_dns)]  IP4.DNS: [$(dev_dns)]"
}
# run_driver MODE [PREFIX...]: in the background, so that a signal to this script is handled at
# once; PREFIX is a command the driver runs under (env, setpriv). The box the user would see
# is left in $W/told; the status is the driver's.
run_driver() {
    local mode=$1 status
    shift
    log "driver: $mode $*"
    ip netns exec "$NS_CLI" "$@" "$DRIVER" "$mode" 9>&- >"$W/told" &
    echo $! >"$W/driver.pid"
    wait $!
    status=$?
    rm -f "$W/driver.pid"
    log "told: $(told_line)"
    return "$status"
}
# The box as one line: CR LF between its lines becomes one blank.
told_line() { tr -d '\r' <"$W/told" | tr '\n' ' '; }
told() { told_line | grep -q "$1"; }
device_state() { nmcli -g GENERAL.STATE device show "$IF_CLI" 2>/dev/null; }

# An nmcli that writes down its arguments, one call a line, before it runs a copy of the real
# one. The program starts nmcli by its full path (/usr/bin/nmcli, else /bin/nmcli), never
# through PATH, so the recorder is bind-mounted over that place in a private mount namespace
# of the driver's own (recording_nmcli, a prefix for run_driver).
mkdir -p "$W/bin"
NMCLI_PLACE=/usr/bin/nmcli
[ -x "$NMCLI_PLACE" ] || NMCLI_PLACE=/bin/nmcli
cp "$NMCLI_PLACE" "$W/bin/nmcli.real"
cat >"$W/bin/nmcli" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$W/nmcli.calls"
exec "$W/bin/nmcli.real" "\$@"
SH
chmod 755 "$W/bin/nmcli"
rm -f "$W/nmcli.calls"
recording_nmcli=(unshare --mount --propagation private
    sh -c 'mount -n --bind "$0" "$1" && shift && exec "$@"' "$W/bin/nmcli" "$NMCLI_PLACE")
calls() { wc -l <"$W/nmcli.calls"; }

# ================= a static profile with three DNS servers =================
run_driver static "${recording_nmcli[@]}" || fail_check "the static profile was applied"
show_state
check "success was said" told "処理終了 (64) ネットワークの設定を変更しました。"
log "nmcli calls: $(tr '\n' ';' <"$W/nmcli.calls")"
check "the change took 2 nmcli calls: one modify, one up (the reads go over the bus)" \
    is "$(calls)" 2
check "one modify with every setting, then one up" \
    is "$(cat "$W/nmcli.calls")" "$(printf '%s\n' "connection modify id $CON ipv4.method manual ipv4.addresses 192.0.2.10/24 ipv4.gateway  ipv4.routes 0.0.0.0/0 192.0.2.1 1 ipv4.dns 192.0.2.53,192.0.2.54,192.0.2.55 ipv4.ignore-auto-dns yes" "connection up id $CON")"
check "exactly one address, 192.0.2.10/24" is "$(addresses)" "192.0.2.10/24 static"
check "one default route, via 192.0.2.1 with metric 1" \
    one_line "$(default_routes)" "^default via 192\.0\.2\.1 dev $IF_CLI proto static metric 1 *$"
check "the subnet route keeps its own metric" \
    one_line "$(subnet_routes)" "^192\.0\.2\.0/24 dev $IF_CLI .* metric (0|[02-9]|[1-9][0-9]+) *$"
check "connection DNS 192.0.2.53, .54, .55 in order" \
    is "$(con_dns)" 192.0.2.53,192.0.2.54,192.0.2.55
check "device DNS 192.0.2.53, .54, .55 in order" \
    is "$(dev_dns)" "192.0.2.53 192.0.2.54 192.0.2.55"

# ================= a connection name that does not exist =================
run_driver missing
check "a missing connection is reported as a failure" is "$?" 3
check "an error box" told "^エラー (16) "
check "the failure names the connection" told "接続「存在しない接続」が見つかりません。"
check "the static settings stay" is "$(addresses)" "192.0.2.10/24 static"

# ================= a route of the user's own stays =================
# The profile holds a route besides the default route: its routes are asked of nmcli, and the
# address command replaces the default route alone.
USER_ROUTE="198.51.100.0/24 192.0.2.3"
nmcli connection modify id "$CON" +ipv4.routes "$USER_ROUTE" || die "cannot add a route"
rm -f "$W/nmcli.calls"
run_driver static "${recording_nmcli[@]}" || fail_check "the static profile was applied again"
log "nmcli calls: $(tr '\n' ';' <"$W/nmcli.calls")"
check "with a route of the user's own: the routes asked, one modify, one up" is "$(calls)" 3
check "the routes asked of nmcli first" \
    is "$(head -1 "$W/nmcli.calls")" "-g ipv4.routes connection show id $CON"
check "the user's route and the default route in the profile" \
    is "$(nmcli -g ipv4.routes connection show id "$CON")" "$USER_ROUTE, 0.0.0.0/0 192.0.2.1 1"

# ================= a DHCP profile (a failed earlier run's script is there) =============
run_driver dhcp || fail_check "the DHCP profile was applied; the old script did not run"
show_state
check "success was said" told "処理終了 (64) ネットワークの設定を変更しました。"
leased=$(addresses)
check "exactly one address, leased from the pool" \
    one_line "$leased" '^192\.0\.2\.(1[0-4][0-9]|150)/24 dynamic$'
check "the lease is in dnsmasq's lease file" grep -q " ${leased%%/*} " "$W/dnsmasq.leases"
check "one default route, from DHCP via 192.0.2.1" \
    one_line "$(default_routes)" "^default via 192\.0\.2\.1 dev $IF_CLI proto dhcp "
check "connection DNS list empty" is "$(con_dns)" ""
check "device DNS from DHCP" is "$(dev_dns)" "192.0.2.1 192.0.2.2"
check "DHCP keeps the user's route alone" \
    is "$(nmcli -g ipv4.routes connection show id "$CON")" "$USER_ROUTE"
nmcli connection modify id "$CON" ipv4.routes "" || die "cannot remove the route"

# ================= the command line: norvane --show, --capture, --apply =================
# The program itself, built beside the driver, in a folder of its own with a profile.dat; its
# change log in $W/state. An nmcli in $W/bin-cli, bind-mounted over nmcli's place as the
# recorder is, fails the next "connection up" while $W/fail-up exists, as an activation that
# NetworkManager refuses.
NORVANE=$(dirname "$DRIVER")/norvane
if [ -x "$NORVANE" ]; then
    mkdir -p "$W/cli" "$W/bin-cli"
    rm -rf "$W/state" "$W/cli/profile.dat" "$W/fail-up"
    printf '%s\r\n' \
        "e2e static,$CON,192.0.2.10,255.255.255.0,192.0.2.1,192.0.2.53,192.0.2.54,192.0.2.55,0" \
        "e2e dhcp,$CON,,,,,,,1" | iconv -f UTF-8 -t CP932 >"$W/cli/profile.dat"
    cat >"$W/bin-cli/nmcli" <<SH
#!/bin/sh
if [ "\$1 \$2" = "connection up" ] && [ -e "$W/fail-up" ]; then
    rm -f "$W/fail-up"
    echo "Error: Connection activation failed: the test refuses it." >&2
    exit 4
fi
exec "$W/bin/nmcli.real" "\$@"
SH
    chmod 755 "$W/bin-cli/nmcli"
    # run_cli ARGUMENT...: standard output in $W/cli.out, standard error in $W/cli.err.
    run_cli() {
        local status
        ip netns exec "$NS_CLI" unshare --mount --propagation private \
            sh -c 'mount -n --bind "$0" "$1" && shift && exec "$@"' "$W/bin-cli/nmcli" \
            "$NMCLI_PLACE" env -C "$W/cli" XDG_STATE_HOME="$W/state" "$NORVANE" "$@" \
            9>&- >"$W/cli.out" 2>"$W/cli.err"
        status=$?
        log "norvane $*: $status, out: $(tr '\n' ' ' <"$W/cli.out") err: $(tr '\n' ' ' <"$W/cli.err")"
        return "$status"
    }
    cli_out() { grep -qF -- "$1" "$W/cli.out"; }
    cli_err() { grep -qF -- "$1" "$W/cli.err"; }

    run_cli --show "$CON"
    check "--show on DHCP: exit 0" is "$?" 0
    check "--show on DHCP: flag 1, no addresses" is "$(cat "$W/cli.out")" ",$CON,,,,,,,1"

    run_cli --apply "e2e static"
    check "--apply static: exit 0" is "$?" 0
    check "--apply static: standard output holds the program's words alone" \
        is "$(cat "$W/cli.out")" "$(printf 'ネットワークの設定を変更しました。\n設定が反映されない場合はWindowsを再起動してください。')"
    check "--apply static: exactly one address, 192.0.2.10/24" is "$(addresses)" "192.0.2.10/24 static"
    check "--apply static: connection DNS in order" is "$(con_dns)" 192.0.2.53,192.0.2.54,192.0.2.55

    run_cli --show "$CON"
    check "--show on static: the profile's line" is "$(cat "$W/cli.out")" \
        ",$CON,192.0.2.10,255.255.255.0,192.0.2.1,192.0.2.53,192.0.2.54,192.0.2.55,0"
    check "--show agrees with nmcli's addresses" \
        is "$(nmcli -g IP4.ADDRESS device show "$IF_CLI")" "192.0.2.10/24"

    run_cli --capture 取り込み "$CON"
    check "--capture: exit 0" is "$?" 0
    check "--capture: the line appended in CP932" sh -c "iconv -f CP932 -t UTF-8 '$W/cli/profile.dat' | tail -1 | grep -qx '取り込み,$CON,192.0.2.10,255.255.255.0,192.0.2.1,192.0.2.53,192.0.2.54,192.0.2.55,0.'"
    run_cli --capture 取り込み "$CON"
    check "--capture of an existing name: exit 2" is "$?" 2
    run_cli --capture 新しい 存在しない接続
    check "--capture of a missing connection: exit 1" is "$?" 1
    run_cli --list
    check "--list: the names in file order" is "$(cat "$W/cli.out" | tr '\n' '|')" "e2e static|e2e dhcp|取り込み|"

    run_cli --apply "存在しないプロファイル"
    check "--apply of an unknown profile: exit 2" is "$?" 2
    check "--apply of an unknown profile: said so" cli_err "プロファイル「存在しないプロファイル」はデータベースに存在しません。"
    check "--apply of an unknown profile: nothing changed" is "$(addresses)" "192.0.2.10/24 static"

    run_cli --apply "e2e dhcp"
    check "--apply DHCP: exit 0" is "$?" 0
    check "--apply DHCP: a lease" one_line "$(addresses)" '^192\.0\.2\.(1[0-4][0-9]|150)/24 dynamic$'

    touch "$W/fail-up"
    run_cli --apply "e2e static" --restore-on-failure
    check "--apply that fails: exit 1" is "$?" 1
    check "--apply that fails: the reason" cli_err "理由: "
    check "--apply that fails: gone back, and said so" cli_out "変更前の設定に戻しました。"
    check "--apply that fails: the refused up was tried" test ! -e "$W/fail-up"
    check "--apply that fails: DHCP again, with a lease" \
        one_line "$(addresses)" '^192\.0\.2\.(1[0-4][0-9]|150)/24 dynamic$'
    check "--apply that fails: the connection is DHCP again" \
        is "$(nmcli -g ipv4.method connection show id "$CON")" auto

    log_file="$W/state/norvane/changes.log"
    check "the change log holds one record per change (3)" is "$(grep -c '^\[' "$log_file")" 3
    check "the change log says the last change went back" \
        grep -qF "戻し: 変更前の設定に戻した（成功）" "$log_file"
    check "the change log is the user's alone" is "$(stat -c %a "$W/state/norvane")" 700
else
    fail_check "the program $NORVANE is built beside the driver"
fi

# ================= no carrier: the settings are saved, and said so =================
ip -n "$NS_SRV" link set "$IF_SRV" down || die "cannot take $IF_SRV down"
# NetworkManager waits a few seconds after the carrier is lost before it gives the device up.
wait_for 20 sh -c "nmcli -g GENERAL.STATE device show $IF_CLI | grep -q '^20 '" ||
    fail_check "the device became unavailable without carrier (state: $(device_state))"
run_driver static
check "a profile saved on a device without carrier is no error" is "$?" 0
check "the user is told it is saved and takes effect when connected" told \
    "処理終了 (64) ネットワークの設定を保存しました。 接続がつながると反映されます。"
check "the connection profile holds the static settings" \
    is "$(nmcli -g ipv4.method,ipv4.addresses connection show id "$CON" | tr '\n' ' ')" \
    "manual 192.0.2.10/24 "
if [ -x "$NORVANE" ]; then
    run_cli --apply "e2e static"
    check "--apply without carrier: stored, exit 3" is "$?" 3
    check "--apply without carrier: said so" cli_out "接続がつながると反映されます。"
fi
log "addresses without carrier: $(addresses | tr '\n' ' ')"
ip -n "$NS_SRV" link set "$IF_SRV" up || die "cannot bring $IF_SRV up"

# ================= a Japanese desktop: the reasons are the program's own words =============
if locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    run_driver missing env LANG=ja_JP.UTF-8 LANGUAGE=ja
    check "ja: a missing connection is an error" is "$?" 3
    check "ja: our words for a missing connection" told "接続「存在しない接続」が見つかりません。"
    check "ja: nmcli's own words do not stand in for ours" sh -c "! grep -q 'エラー:' '$W/told'"

    run_driver other setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env LANG=ja_JP.UTF-8 LANGUAGE=ja HOME=/nonexistent
    check "ja, no permission: an error" is "$?" 3
    check "ja, no permission: our words for it" told \
        "理由: 接続「$CON」を変更する権限がありません"
    check "ja, no permission: the profile is unchanged" \
        is "$(nmcli -g ipv4.addresses connection show id "$CON")" "192.0.2.10/24"
else
    log "SKIP: the ja_JP.UTF-8 locale is not generated: the Japanese desktop's checks did not run"
fi

# ================= the device gone =================
ip -n "$NS_CLI" link del "$IF_CLI" || die "cannot remove $IF_CLI"
run_driver static
check "a static profile without its device is reported as a failure" is "$?" 3
check "no success is claimed" sh -c "! grep -q '処理終了' '$W/told'"

if [ "$FAILS" -ne 0 ]; then
    log "$FAILS check(s) failed; NetworkManager's warnings:"
    grep -E '<(warn|error)>' "$W/nm.log" | tail -20 >&2
    exit 1
fi
log "all checks passed"
exit 0
