#!/usr/bin/env bash
# Proves that a Tunrax package installs and starts on a fresh Debian 12:
# bootstraps a minimal bookworm system, installs the package there with apt
# (so its Depends must be complete), starts the player without a display,
# ends it with SIGTERM and runs both command-line tools.
#
#   sudo scripts/deb-fresh-check.sh build/tunrax_0.1.0.0_amd64.deb
#
# The downloaded base system and the packages apt fetched are kept in
# /var/cache/tunrax-deb-check (TUNRAX_DEB_CHECK_CACHE), so later runs need
# no download. Needs root and the Debian package debootstrap.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 PACKAGE.deb" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "FAIL: needs root (debootstrap, chroot, mount)" >&2
    exit 2
fi
command -v debootstrap >/dev/null || {
    echo "FAIL: debootstrap is missing (apt-get install debootstrap)" >&2
    exit 2
}

start_time=$(date +%s)
deb=$(realpath "$1")
suite=bookworm
arch=$(dpkg --print-architecture)
cache=${TUNRAX_DEB_CHECK_CACHE:-/var/cache/tunrax-deb-check}
tarball="$cache/$suite-minbase-$arch.tar.gz"
failures=0

pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The first URI that serves the given suite in the host's apt sources, in
# either the one-line or the deb822 format (plain awk: Debian's is mawk).
host_mirror() {
    local want=$1 f uri
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        uri=$(awk -v want="$want" '$1 == "deb" {
            i = 2
            if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
            if ($(i + 1) == want) { print $i; exit }
        }' "$f")
        [ -n "$uri" ] && { echo "$uri"; return; }
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        uri=$(awk -v want="$want" 'BEGIN { RS = "" } {
            types = suites = uris = ""; enabled = 1
            n = split($0, lines, "\n")
            for (k = 1; k <= n; k++) {
                if (lines[k] ~ /^[ \t]*#/) continue
                key = tolower(lines[k]); sub(/:.*/, "", key)
                val = lines[k]; sub(/^[^:]*:[ \t]*/, "", val)
                if (key == "types") types = " " val " "
                else if (key == "suites") suites = " " val " "
                else if (key == "uris") uris = val
                else if (key == "enabled") enabled = (tolower(val) != "no")
            }
            if (enabled && index(types, " deb ") && index(suites, " " want " ")) {
                split(uris, u, /[ \t]+/); print u[1]; exit
            }
        }' "$f")
        [ -n "$uri" ] && { echo "$uri"; return; }
    done
    return 0
}
mirror=$(host_mirror "$suite")
mirror=${mirror:-http://deb.debian.org/debian}
security=$(host_mirror "$suite-security")
security=${security:-http://deb.debian.org/debian-security}

# The host's apt proxy, if any, for debootstrap (wget) and for apt inside.
proxy_conf=$(apt-config dump | grep -E '^Acquire::(http|https|ftp)::Proxy' || true)
http_proxy_value=""
eval "$(apt-config shell http_proxy_value Acquire::http::Proxy)"
if [ -n "$http_proxy_value" ] && [ -z "${http_proxy:-}" ]; then
    export http_proxy=$http_proxy_value
fi
echo "mirror: $mirror  security: $security${http_proxy:+  proxy: $http_proxy}"

work=$(mktemp -d /tmp/tunrax-deb-check.XXXXXX)
root="$work/root"
mounts=()
cleanup() {
    local i
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
    done
    # Never delete through a mount that is still there (/dev, the cache).
    if [ -n "$(findmnt -rn -o TARGET | grep -F "$work/" || true)" ]; then
        echo "note: mounts left under $work, not removed" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mount_in() { # mount_in TARGET mount-arguments...
    local target=$1
    shift
    mount "$@" "$target"
    mounts+=("$target")
}

mkdir -p "$cache/archives/partial"
if [ ! -f "$tarball" ]; then
    echo "making the base-system tarball (first run only)"
    debootstrap --arch="$arch" --variant=minbase --make-tarball="$tarball.part" \
        "$suite" "$work/make" "$mirror" >"$work/debootstrap.log" 2>&1 || {
        tail -20 "$work/debootstrap.log"
        fail "debootstrap --make-tarball"
        exit 1
    }
    mv "$tarball.part" "$tarball"
    rm -rf "$work/make"
fi
step_start=$(date +%s)
if debootstrap --arch="$arch" --variant=minbase --unpack-tarball="$tarball" \
    "$suite" "$root" "$mirror" >"$work/debootstrap.log" 2>&1; then
    pass "fresh $suite minbase system from $tarball ($(($(date +%s) - step_start)) s)"
else
    tail -20 "$work/debootstrap.log"
    fail "debootstrap --unpack-tarball"
    exit 1
fi

mount_in "$root/proc" -t proc proc
mount_in "$root/sys" -t sysfs sysfs
mount_in "$root/dev" --bind /dev
mount_in "$root/dev/pts" --bind /dev/pts
mount_in "$root/var/cache/apt/archives" --bind "$cache/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb $security $suite-security main
EOF
[ -n "$proxy_conf" ] && printf '%s\n' "$proxy_conf" >"$root/etc/apt/apt.conf.d/01proxy"
# The system is thrown away afterwards: dpkg need not sync every file.
echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/unsafe-io"
# No services start inside the chroot.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp "$deb" "$root/tmp/"

in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
step_start=$(date +%s)
if in_root apt-get update >"$work/apt.log" 2>&1 &&
    in_root apt-get install -y "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1; then
    pass "apt-get install ./$(basename "$deb") ($(($(date +%s) - step_start)) s)"
else
    tail -30 "$work/apt.log"
    fail "apt-get install ./$(basename "$deb")"
    exit 1
fi

# A user with settings that choose a local collection, so the program starts
# without its first-start wizard.
in_root useradd --create-home --shell /bin/sh tester
home=/home/tester
music="$home/Musik"
mkdir -p "$root$music/Album A" "$root$music/Album B" "$root$home/.config/quintor" "$root/run/user/tester"
# An MP3 frame header followed by an ID3v1 tag: enough for the tag reader.
{
    printf '\xff\xfb\x90\x64'
    head -c 413 /dev/zero
    printf 'TAG%-30s%-30s%-30s%-4s%-30s\x0c' Probelied Probeband Probealbum 2026 ''
} >"$root$music/Album A/01 Probelied.mp3"
printf '[Einstellungen]\r\nTyp=0\r\nVerzeichnis=%s/\r\n' "$music" \
    >"$root$home/.config/quintor/tunrax.ini"
in_root chown -R tester:tester "$home" /run/user/tester
chmod 700 "$root/run/user/tester"

as_tester() {
    chroot --userspec=tester:tester "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
        HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR=/run/user/tester \
        QT_QPA_PLATFORM=offscreen "$@"
}

err="$work/tunrax.err"
# exec: $! is then the player itself (chroot and env exec in turn).
(exec chroot --userspec=tester:tester "$root" env -i PATH=/usr/bin:/bin LANG=C.UTF-8 \
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR=/run/user/tester \
    QT_QPA_PLATFORM=offscreen /usr/bin/tunrax >"$work/tunrax.out" 2>"$err") &
pid=$!
sleep 5
if kill -0 "$pid" 2>/dev/null; then
    pass "tunrax still running after 5 s"
    kill -TERM "$pid"
    status=0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        wait "$pid" || true
        fail "tunrax did not end within 10 s of SIGTERM"
    else
        wait "$pid" || status=$?
        if [ "$status" -eq 0 ]; then
            pass "tunrax ended on SIGTERM with status 0"
        else
            fail "tunrax ended on SIGTERM with status $status"
        fi
    fi
else
    status=0
    wait "$pid" || status=$?
    fail "tunrax ended within 5 s (status $status)"
fi
# With no catalogue in the collection the main window builds one and saves
# it there: proof that it got past the settings to the collection.
if [ -f "$root$music/tunrax.dat" ] && tr -d '\r' <"$root$music/tunrax.dat" | grep -qx "Album A"; then
    pass "tunrax loaded the collection and saved its catalogue tunrax.dat"
else
    fail "tunrax did not save the catalogue $music/tunrax.dat"
fi
if grep -i -E "could not (load|find)|cannot load|failed to load|not found|no such (file|plugin)|missing plugin" "$err" >/dev/null; then
    fail "tunrax reported missing parts:"
    sed 's/^/    /' "$err"
else
    pass "no load errors on tunrax's stderr ($(wc -l <"$err") lines)"
fi

tags=$(as_tester tunrax-tags "$music/Album A/01 Probelied.mp3" 2>&1) && status=0 || status=$?
if [ "$status" -eq 0 ] && grep -q "Titel: Probelied" <<<"$tags"; then
    pass "tunrax-tags reads the tag"
else
    fail "tunrax-tags (status $status): $tags"
fi
# The catalogue has CR LF line ends.
catalogue=$(as_tester tunrax-katalog "$music" 2>&1 | tr -d '\r'; exit "${PIPESTATUS[0]}") &&
    status=0 || status=$?
if [ "$status" -eq 0 ] && grep -qx "Album A" <<<"$catalogue" && grep -qx "Album B" <<<"$catalogue"; then
    pass "tunrax-katalog lists both albums"
else
    fail "tunrax-katalog (status $status): $catalogue"
fi

# The web-server source loads libcurl only when it is first used.
libraries=$(chroot "$root" /sbin/ldconfig -p 2>&1 || true)
if grep -q "libcurl\.so\.4 " <<<"$libraries"; then
    pass "libcurl for the web-server source is installed"
else
    fail "libcurl.so.4 is missing: the web-server source could not work"
fi

echo "time: $(($(date +%s) - start_time)) s"
if [ "$failures" -eq 0 ]; then
    echo "PASS: $(basename "$deb") installs and starts on a fresh Debian 12"
    exit 0
fi
echo "FAIL: $failures check(s) failed"
exit 1
