#!/usr/bin/env bash
# Proves the README on a fresh Debian 12 machine: a minimal root made by
# mmdebstrap from this machine's package mirror, a normal user with sudo, a
# clean clone of this checkout's HEAD, then ./test.sh and ./run.sh (no display:
# the contact sheet) as that user.
#
#   scripts/fresh-root.sh [--package]
#
# --package then builds the Debian package in that root, installs it with apt
# into another fresh copy of the bare root (so its dependencies must bring
# everything it needs), runs the installed programs and purges the package,
# checking that none of its files is left.
#
# Two roots are kept in the cache, outside the checkout: the bare root, and the
# root after scripts/install-deps.sh, keyed by that script's content, so a run
# costs only the build and the tests, and a changed install script starts again
# from the bare root. Needs root (it runs itself through sudo otherwise).
set -euo pipefail
{ # read whole before it runs, so that editing the script does not change a run
cd "$(dirname "$0")/.."
checkout=$PWD

package=false
case "${1:-}" in
  "") ;;
  --package) package=true ;;
  *) echo "usage: scripts/fresh-root.sh [--package]" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=TEINTELLE_FRESH_ROOT_CACHE "$0" "$@"
fi

cache=${TEINTELLE_FRESH_ROOT_CACHE:-/var/cache/teintelle/fresh-root}
user=lea # the normal user of the fresh machine
started=$SECONDS

step() { printf '\n==> [%4ss] %s\n' "$((SECONDS - started))" "$*"; }
fail() { printf '\n==> [%4ss] FAILED: %s\n' "$((SECONDS - started))" "$*" >&2; exit 1; }

# ---- What the script itself needs on this machine ------------------------

if ! command -v mmdebstrap >/dev/null; then
  step "Installing mmdebstrap"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap
fi

# The Debian 12 entries of this machine's apt sources, so the root comes from
# the mirror this machine already uses.
sources=()
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  [ -f "$file" ] && grep -Eq '^[^#]*\<bookworm\>' "$file" && grep -Eq '^[^#]*/debian' "$file" && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || fail "no Debian 12 (bookworm) entry in /etc/apt/sources.list(.d)"

# ---- The cache: the bare root, and the root after install-deps.sh ------

recipe="bookworm minbase sudo user=$user 1"
bare_key=$( { echo "$recipe"; cat "${sources[@]}"; } | sha256sum | cut -c1-16)
deps_key=$( { echo "$bare_key"; cat scripts/install-deps.sh; } | sha256sum | cut -c1-16)
bare_tar=$cache/bare-$bare_key.tar
deps_tar=$cache/deps-$deps_key.tar
archives=$cache/apt-archives # downloaded .deb files, shared by every root
mkdir -p "$cache" "$archives/partial"

work=$(mktemp -d "$cache/run.XXXXXX")
mounts=()
cleanup() {
  local i process
  # What still runs inside a root (after an interruption) would keep it busy.
  for process in /proc/[0-9]*; do
    case "$(readlink "$process/root" 2>/dev/null)" in "$work"/*) kill -KILL "${process#/proc/}" 2>/dev/null || true ;; esac
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mount_into() { # TYPE SOURCE TARGET [OPTIONS]
  mkdir -p "$3"
  if [ "$1" = bind ]; then mount --bind "$2" "$3"; else mount -t "$1" ${4:+-o "$4"} "$2" "$3"; fi
  mounts+=("$3")
}

# Extracts TAR into a new root NAME under the work folder and mounts what
# programs inside expect: /proc, /sys, /dev/pts, /dev/shm (the usual device
# nodes come in the tar), the apt archives cache. Sets root_path.
open_root() {
  local root=$work/$2
  mkdir -p "$root"
  tar -xf "$1" -C "$root"
  mount_into proc proc "$root/proc"
  mount_into sysfs sysfs "$root/sys" ro
  mount_into devpts devpts "$root/dev/pts" newinstance,ptmxmode=0666
  ln -sfn pts/ptmx "$root/dev/ptmx"
  mount_into tmpfs tmpfs "$root/dev/shm" mode=1777
  mount_into bind "$archives" "$root/var/cache/apt/archives"
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  printf '127.0.0.1 localhost\n127.0.1.1 %s\n' "$(hostname)" > "$root/etc/hosts" # for sudo
  printf '#!/bin/sh\nexit 101\n' > "$root/usr/sbin/policy-rc.d" # no service starts in the root
  chmod 0755 "$root/usr/sbin/policy-rc.d"
  root_path=$root
}

close_root() { # ROOT: unmounts what open_root mounted in it
  local i kept=()
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    case "${mounts[i]}" in
      "$1"/*) umount "${mounts[i]}" ;;
      *) kept=("${mounts[i]}" "${kept[@]}") ;;
    esac
  done
  mounts=("${kept[@]}")
}

# Runs a command in ROOT as the user, from a login shell, as a user would.
as_user() { local root=$1; shift; chroot "$root" runuser -l "$user" -c "$*"; }

if [ ! -f "$bare_tar" ]; then
  step "Making a bare Debian 12 root with mmdebstrap (${sources[*]})"
  mmdebstrap --variant=minbase --include=sudo,ca-certificates --quiet \
    --customize-hook='chroot "$1" useradd --create-home --shell /bin/bash '"$user" \
    --customize-hook='echo "'"$user"' ALL=(ALL) NOPASSWD: ALL" > "$1/etc/sudoers.d/'"$user"'"' \
    --customize-hook='chmod 0440 "$1/etc/sudoers.d/'"$user"'"' \
    bookworm "$work/bare.tar" "${sources[@]}" || fail "mmdebstrap"
  mv "$work/bare.tar" "$bare_tar"
fi

if [ ! -f "$deps_tar" ]; then
  step "Running scripts/install-deps.sh in the bare root as $user (through sudo)"
  open_root "$bare_tar" deps
  cp scripts/install-deps.sh "$root_path/tmp/install-deps.sh"
  chmod 0755 "$root_path/tmp/install-deps.sh"
  as_user "$root_path" /tmp/install-deps.sh || fail "install-deps.sh"
  rm -f "$root_path/tmp/install-deps.sh" "$root_path/etc/resolv.conf"
  close_root "$root_path"
  step "Keeping the root after install-deps.sh in $deps_tar"
  tar -cf "$work/deps.tar" -C "$root_path" .
  rm -f "$cache"/deps-*.tar # roots of older install scripts
  mv "$work/deps.tar" "$deps_tar"
  rm -rf --one-file-system "$root_path"
fi

# ---- The README's two commands, on a clean clone ---------------------------

step "Copying a clean clone of HEAD ($(git rev-parse --short HEAD)) into a copy of the root"
open_root "$deps_tar" test
root=$root_path
home=$root/home/$user
git clone --quiet --no-checkout "$checkout" "$home/teintelle"
git -C "$home/teintelle" checkout --quiet --detach "$(git rev-parse HEAD)"
chroot "$root" chown -R "$user:$user" "/home/$user/teintelle"

step "./test.sh as $user"
as_user "$root" 'cd teintelle && ./test.sh' || fail "./test.sh"

step "./run.sh as $user, without a display"
as_user "$root" 'cd teintelle && ./run.sh' || fail "./run.sh"
sheet="$home/teintelle/build/default/Planche des effets.png"
[ -s "$sheet" ] || fail "./run.sh wrote no contact sheet"

if ! $package; then
  step "Passed"
  exit 0
fi

# ---- The package: built, installed by apt, run, purged ---------------------

# cpack's archive writer needs a UTF-8 locale for the samples' accented
# names, and a bare root has no locale set.
step "cpack -G DEB as $user"
as_user "$root" 'cd teintelle/build/default && LC_ALL=C.UTF-8 cpack -G DEB' || fail "cpack"
debs=("$home"/teintelle/build/default/teintelle_*.deb)
[ -f "${debs[0]}" ] || fail "cpack wrote no teintelle_*.deb"
deb=$(basename "${debs[0]}")
cp "${debs[0]}" "$work/$deb"
close_root "$root"
rm -rf --one-file-system "$root"

step "apt install ./$deb into a fresh copy of the bare root"
open_root "$bare_tar" package
root=$root_path
cp "$work/$deb" "$root/tmp/$deb"
chroot "$root" apt-get update -qq || fail "apt-get update"
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "/tmp/$deb" \
  || fail "apt install $deb"
chroot "$root" dpkg-query -L teintelle > "$work/files"

step "teintelle-cli check and sheet on the installed samples, as $user"
effets=/usr/lib/teintelle/Effets
as_user "$root" "teintelle-cli check $effets/33/Froid.cube" || fail "teintelle-cli check"
as_user "$root" "teintelle-cli sheet $effets/33 $effets/Mire.jpg -o planche.png && test -s planche.png" \
  || fail "teintelle-cli sheet"

step "teintelle starts (offscreen) as $user in a folder it cannot write"
set +e
as_user "$root" "QT_QPA_PLATFORM=offscreen timeout 3 teintelle"
status=$?
set -e
[ $status -eq 124 ] || fail "teintelle ended with status $status before being stopped"
[ ! -e "$root/usr/lib/teintelle/Teintelle.ini" ] || fail "teintelle wrote into /usr/lib/teintelle"

step "apt purge teintelle"
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq teintelle || fail "apt purge"
left=()
while IFS= read -r path; do
  if [ -e "$root$path" ] || [ -L "$root$path" ]; then
    [ -d "$root$path" ] && [ ! -L "$root$path" ] && [ "${path#*teintelle}" = "$path" ] && continue # shared folders
    left+=("$path")
  fi
done < "$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after purge: ${left[*]}"

step "Passed, with the package"
exit 0
}
