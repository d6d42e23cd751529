#!/bin/sh
# SPDX-License-Identifier: MIT
# Tries the project as a new user would on a fresh Debian system:
#   scripts/distro-check.sh RELEASE        (bookworm or trixie; as root)
# bootstraps a minbase chroot of RELEASE with debootstrap from this machine's
# configured Debian mirror, clones this checkout's committed HEAD into it and
# runs there:
#   1. as a user without root: ./scripts/run-examples.sh and ./scripts/test.sh,
#      each of which must stop with deps.sh's message naming the missing
#      packages and a non-zero exit status (nothing installed yet);
#   2. as root: ./scripts/run-examples.sh, ./scripts/test.sh and
#      ./scripts/package.sh, each of which must pass.
# Prints each command's time and result, then a summary; exits non-zero when
# any result is not the expected one.  Each command's output goes to
# build/distro-check/RELEASE/<n>-<command>.log.  Takes tens of minutes (the
# chroot installs every package the suite needs); not part of scripts/test.sh.
# LIBKRC_DISTRO_KEEP=1 keeps the chroot (its mounts are always undone).
set -eu
cd "$(dirname "$0")/.."

release=${1:-}
case $release in
    bookworm | trixie) ;;
    *) echo "usage: $0 bookworm|trixie" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    echo "distro-check.sh: debootstrap and chroot need root" >&2
    exit 2
fi
for tool in debootstrap git; do
    command -v "$tool" >/dev/null 2>&1 || ./scripts/deps.sh distro-check
done

# The Debian archive this machine installs from: the first deb line (or
# deb822 stanza) of its apt sources whose URI ends in /debian.
mirror() {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -r "$f" ] && cat "$f"
    done | sed -e 's/\[[^]]*\]//' | awk '
        $1 == "deb" || $1 == "URIs:" {
            for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { sub(/\/$/, "", $i); print $i; exit }
        }'
}
url=$(mirror)
[ -n "$url" ] || url=http://deb.debian.org/debian
commit=$(git rev-parse HEAD)
logs=$PWD/build/distro-check/$release
rm -rf "$logs"
mkdir -p "$logs"
work=$(mktemp -d "${TMPDIR:-/var/tmp}/libkrc-distro-$release.XXXXXX")
root=$work/root
user=krcuser

# Undoes the mounts (after ending whatever still runs inside the chroot) and
# removes the chroot, unless a mount could not be undone.
cleanup() {
    set +e
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    busy=0
    for m in dev/pts dev sys proc; do
        if mountpoint -q "$root/$m"; then
            umount "$root/$m" || umount -l "$root/$m" || busy=1
        fi
    done
    if [ "$busy" -eq 1 ]; then
        echo "distro-check.sh: a mount under $root could not be undone; left in place" >&2
    elif [ "${LIBKRC_DISTRO_KEEP:-0}" = 1 ]; then
        echo "distro-check.sh: chroot kept in $root"
    else
        rm -rf --one-file-system "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

now() { date +%s; }
summary=""
steps=0
status=0

# Runs one step: $1 its name, $2 the expected outcome (pass or message), the
# rest the command; prints its time and result and records them.
step() {
    name=$1 expect=$2
    shift 2
    steps=$((steps + 1))
    log=$logs/$steps-$(echo "$name" | tr -c 'a-z0-9\n' '-').log
    echo "==== $name"
    start=$(now)
    if "$@" >"$log" 2>&1; then rc=0; else rc=$?; fi
    seconds=$(($(now) - start))
    result=$(judge "$expect" "$rc" "$log")
    case $result in ok*) ;; *) status=1; tail -n 40 "$log" ;; esac
    line=$(printf '%-44s %5ds  exit %-3s %s' "$name" "$seconds" "$rc" "$result")
    echo "==== $line"
    summary="$summary$line
"
}

# Whether a step ended as expected: "pass" wants exit status 0; "message"
# wants a non-zero status with deps.sh's message, and no crash (a signal).
judge() {
    case $1 in
        pass) [ "$2" -eq 0 ] && echo ok || echo "FAILED (see $3)" ;;
        message)
            if [ "$2" -eq 0 ]; then
                echo "FAILED: passed without root (see $3)"
            elif [ "$2" -gt 128 ]; then
                echo "FAILED: killed by signal $(($2 - 128)) (see $3)"
            elif grep -q "^deps.sh: .*packages are missing" "$3" && grep -q "apt-get install" "$3"; then
                echo "ok: deps.sh named the missing packages"
            else
                echo "FAILED: no deps.sh message (see $3)"
            fi ;;
    esac
}

# A command in the chroot, in the clone, as root or as the plain user, with
# a clean environment.
in_chroot() { # root|user command
    if [ "$1" = root ]; then
        as_user="" home=/root
    else
        as_user="--userspec=$user:$user" home=/home/$user
    fi
    # shellcheck disable=SC2086
    chroot $as_user "$root" /usr/bin/env -i HOME="$home" LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        sh -c "cd $home/libkrc && $2"
}

# (The steps run as conditions, where set -e does not act: each command of a
# step's function is checked.)
bootstrap() {
    debootstrap --variant=minbase "$release" "$root" "$url" &&
        cp /etc/resolv.conf "$root/etc/resolv.conf" &&
        mount -t proc proc "$root/proc" &&
        mount -t sysfs sysfs "$root/sys" &&
        mount --bind /dev "$root/dev" &&
        mount --bind /dev/pts "$root/dev/pts" &&
        chroot "$root" useradd --create-home --shell /bin/sh "$user"
}

# This checkout's committed HEAD, cloned into the home of root and of the user.
clone() {
    for home in root "home/$user"; do
        git clone --quiet --no-checkout "$PWD" "$root/$home/libkrc" &&
            git -C "$root/$home/libkrc" checkout --quiet "$commit" || return 1
    done
    chroot "$root" chown -R "$user:$user" "/home/$user/libkrc"
}

echo "distro-check: $release from $url, commit $commit"
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "distro-check: note: uncommitted changes are not part of the check"
step "debootstrap $release" pass bootstrap
[ "$status" -eq 0 ] && step "clone" pass clone
[ "$status" -eq 0 ] || exit 1
step "run-examples.sh (user)" message in_chroot user ./scripts/run-examples.sh
step "test.sh (user)" message in_chroot user ./scripts/test.sh
step "run-examples.sh (root)" pass in_chroot root ./scripts/run-examples.sh
step "test.sh (root)" pass in_chroot root ./scripts/test.sh
step "package.sh (root)" pass in_chroot root ./scripts/package.sh

echo "==== distro-check $release (commit $commit):"
printf '%s' "$summary"
exit "$status"
