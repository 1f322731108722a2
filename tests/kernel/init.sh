#!/bin/sh
# The guest's first process: the USB stack with dummy_hcd and raw_gadget,
# udevd with the packaged rule, loopback networking; then the scenario,
# whose result lines go to the serial console; then power off.
export PATH=/bin:/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
echo "guest: init at $(cut -d' ' -f1 /proc/uptime) s"
for module in usb-common usbcore udc-core dummy_hcd raw_gadget hid usbhid hid-generic; do
  # Four device controllers: one per controller on the bus at once.
  args=""
  [ "$module" = dummy_hcd ] && args="num=4"
  insmod /lib/modules/$module.ko $args || echo "guest: cannot load $module"
done
ip link set lo up
mkdir -p /run/udev
# libusb and the service's monitor hear of devices through udevd; names are
# resolved so that the rule's group applies.
/lib/systemd/systemd-udevd --daemon --resolve-names=early || echo "guest: udevd did not start"
echo "guest: ready at $(cut -d' ' -f1 /proc/uptime) s"
sh /scenario.sh
echo "guest: scenario ended with $? at $(cut -d' ' -f1 /proc/uptime) s"
udevadm control --exit 2>/dev/null
poweroff -f
