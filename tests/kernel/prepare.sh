#!/usr/bin/env bash
# Prepares the real-kernel test: a Debian kernel, its dummy_hcd, HID and USB
# modules, raw_gadget built from the kernel's own source, and an initramfs
# holding the programs under test.
#
#   prepare.sh WORKDIR BINDIR SOURCEDIR
#
# The kernel and the modules are kept in WORKDIR/KVER between runs; the
# initramfs is made anew every time (the programs change). Exits 77 with one
# line when the packages it needs cannot be had.
set -euo pipefail

work=$1
bin=$2
source=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
work=$(cd "$work" && pwd)

skip() {
  echo "kernel test skipped: $*"
  exit 77
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || skip "needs root (or sudo without a password) to install and load packages"
  sudo="sudo -n"
fi
export DEBIAN_FRONTEND=noninteractive

# The exact kernel ABI that linux-image-amd64 names now; without package
# lists, the one prepared last time.
kernelVersion() {
  apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{sub("linux-image-", "", $2); print $2; exit}'
}
kver=$(kernelVersion)
if [ -z "$kver" ]; then
  $sudo apt-get update -qq >/dev/null 2>&1 || true
  kver=$(kernelVersion)
fi
[ -n "$kver" ] || kver=$(cat "$work/kver" 2>/dev/null || true)
[ -n "$kver" ] || skip "no Debian kernel package is known (apt-cache depends linux-image-amd64)"

packages=(qemu-system-x86 busybox-static cpio udev make gcc libc6-dev xz-utils file "linux-headers-$kver")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  { $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1 \
    || { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >/dev/null 2>&1; } \
    || skip "cannot install ${missing[*]}"
fi

# Kernel image and modules, kept per kernel version.
kdir=$work/$kver
if [ ! -f "$kdir/ready" ]; then
  rm -rf "$kdir" && mkdir -p "$kdir/modules" "$kdir/rawg"
  (
    cd "$kdir"
    series=$(echo "$kver" | cut -d. -f1,2)
    apt-get download "linux-image-$kver" "linux-source-$series" >/dev/null 2>&1 \
      || skip "cannot download linux-image-$kver and linux-source-$series"
    dpkg-deb -x linux-image-"$kver"_*.deb image
    # The uncompressed kernel boots at once (PVH entry); unpacking the
    # compressed one takes many seconds under software emulation.
    image=image/boot/vmlinuz-$kver
    at=$(LC_ALL=C grep -abo $'\xfd7zXZ\x00' "$image" | head -n 1 | cut -d: -f1)
    [ -n "$at" ] && tail -c +$((at + 1)) "$image" | xz -dc --single-stream >vmlinux 2>/dev/null || true
    file -b vmlinux 2>/dev/null | grep -q '^ELF' || cp "$image" vmlinux
    m=image/lib/modules/$kver/kernel
    for module in drivers/usb/common/usb-common drivers/usb/core/usbcore drivers/usb/gadget/udc/udc-core \
      drivers/usb/gadget/udc/dummy_hcd drivers/hid/hid drivers/hid/usbhid/usbhid drivers/hid/hid-generic; do
      cp "$m/$module.ko" modules/
    done
    # raw_gadget is in the source but not built by Debian: build it against
    # the matching headers.
    dpkg-deb --fsys-tarfile linux-source-"$series"_*.deb | tar -xO "./usr/src/linux-source-$series.tar.xz" \
      | tar -xJO "linux-source-$series/drivers/usb/gadget/legacy/raw_gadget.c" > rawg/raw_gadget.c
    echo 'obj-m := raw_gadget.o' > rawg/Makefile
    make -s -C "/usr/src/linux-headers-$kver" M="$kdir/rawg" modules >/dev/null
    cp rawg/raw_gadget.ko modules/
    rm -rf image ./*.deb
    touch ready
  ) || { rc=$?; rm -rf "$kdir"; [ $rc -eq 77 ] && exit 77; echo "kernel preparation failed"; exit 1; }
  echo "$kver" > "$work/kver"
fi

# The initramfs: busybox, udevd, the programs and the libraries they load.
root=$work/root
rm -rf "$root"
mkdir -p "$root"/{bin,sbin,proc,sys,dev,tmp,run,etc/udev/rules.d,lib/modules,lib/systemd,kernel}
cp "$(command -v busybox)" "$root/bin/busybox"
for applet in $("$root/bin/busybox" --list); do
  [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
done
udevadm=$(command -v udevadm)
cp "$udevadm" "$root/bin/udevadm"
ln -s /bin/udevadm "$root/lib/systemd/systemd-udevd"
programs=("$bin/CorvaneService" "$bin/corvane-sim" "$bin/corvane-request")
cp "${programs[@]}" "$root/bin/"
# Debug information only slows the guest down.
strip --strip-debug "$root"/bin/CorvaneService "$root"/bin/corvane-sim "$root"/bin/corvane-request
for lib in $(ldd "${programs[@]}" "$udevadm" | awk '/=> \//{print $3} /ld-linux/ && $1 ~ /^\//{print $1}' | sort -u); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
cp "$kdir"/modules/*.ko "$root/lib/modules/"
cp "$source/packaging/60-corvane.rules" "$root/etc/udev/rules.d/"
printf 'root:x:0:0:root:/tmp:/bin/sh\n' > "$root/etc/passwd"
printf 'root:x:0:\nplugdev:x:46:\n' > "$root/etc/group"
cp "$here/init.sh" "$root/init"
cp "$here/scenario.sh" "$root/scenario.sh"
chmod +x "$root/init" "$root/scenario.sh"
(cd "$root" && find . | cpio -o -H newc --quiet) > "$work/initrd.cpio"
ln -sf "$kdir/vmlinux" "$work/vmlinux"
