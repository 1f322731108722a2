#!/bin/sh
# Inside the guest: `corvane-sim --usb-gadget` puts simulated controllers on
# the kernel's USB bus, `CorvaneService -e` finds them through udev, hidraw
# and libusb, and the command-line tool drives the service. One line per
# check, "ok - NAME" or "FAIL - NAME: DETAIL", then "checks: N passed, N failed".
export HOME=/tmp XDG_CONFIG_HOME=/tmp/config
SOCKET=/tmp/sim.sock
TRAFFIC=/tmp/traffic.log
VASTA=0200000001A3
LYN=0400000001B4
TARSO=2000000003C5
passed=0
failed=0

now() { cut -d' ' -f1 /proc/uptime; }

ok() { echo "ok - $1 [$(now) s]"; passed=$((passed + 1)); }
fail() { echo "FAIL - $1: $2 [$(now) s]"; failed=$((failed + 1)); }
oneLine() { printf '%s' "$1" | tr '\n' '|'; }
# expect NAME TEXT REGEX: some line of TEXT matches REGEX (extended).
expect() {
  if printf '%s\n' "$2" | grep -qE "$3"; then ok "$1"; else fail "$1" "no /$3/ in: $(oneLine "$2")"; fi
}
# check NAME COMMAND...: the command succeeds.
check() {
  name=$1
  shift
  if "$@" >/dev/null 2>&1; then ok "$name"; else fail "$name" "$* did not hold"; fi
}
# waitFor TENTHS COMMAND...: runs COMMAND until it succeeds, for at most
# TENTHS/10 s of the guest's time.
waitFor() {
  deadline=$(awk -v t="$1" '{ print $1 + t / 10 }' /proc/uptime)
  shift
  until "$@" >/dev/null 2>&1; do
    awk -v d="$deadline" '{ exit !($1 < d) }' /proc/uptime || return 1
    sleep 0.1
  done
}
not() { ! "$@"; }
# probed SERIAL N: the traffic log holds the Nth probe of the controller.
probed() { [ "$(grep -c "^$1 dserial " $TRAFFIC)" -ge "$2" ]; }
# appeared NAME SERIAL [N]: the service lists the controller (after its Nth
# probe: waiting on the log is cheaper than asking the service).
appeared() {
  if { [ -z "$3" ] || waitFor 300 probed "$2" "$3"; } && waitFor 300 listed "$2"; then
    ok "$1"
  else
    fail "$1" "$2 not listed"
  fi
}
# removed NAME SERIAL: the controller left the USB bus and the service's list.
removed() {
  waitFor 150 not usbDevice "$2"
  if waitFor 100 not listed "$2"; then ok "$1"; else fail "$1" "$2 still listed"; fi
}
sim() { corvane-sim --socket $SOCKET "$@"; }
tool() { CorvaneService "$@" 2>&1; }
# The device list, kept in $LIST for the checks that follow.
LIST=/tmp/list
listed() { tool --device-list >$LIST && grep -q "$1" $LIST; }
devicesJson() {
  corvane-request '{"actions": {"list": [{"key": "devices_list", "id": 1}]}}' 2>&1 | tr -d ' \n'
}
traffic() { grep -E "$1" $TRAFFIC; }
# The sysfs folder of the USB device with serial $1.
usbDevice() {
  for d in /sys/bus/usb/devices/*; do
    [ "$(cat "$d/serial" 2>/dev/null)" = "$1" ] && { echo "$d"; return 0; }
  done
  return 1
}
hidrawOf() {
  d=$(usbDevice "$1") || return 1
  n=$(ls -d "$d"/*/*/hidraw/hidraw* 2>/dev/null | head -n 1)
  [ -n "$n" ] && echo "/dev/$(basename "$n")"
}
usbNodeOf() {
  d=$(usbDevice "$1") || return 1
  printf '/dev/bus/usb/%03d/%03d\n' "$(cat "$d/busnum")" "$(cat "$d/devnum")"
}
# --- the controller on the bus, as the kernel and udev see it
corvane-sim --usb-gadget --socket $SOCKET --traffic $TRAFFIC --device vasta:$VASTA:2.005 >/tmp/sim.log 2>&1 &
sim_pid=$!
waitFor 150 hidrawOf $VASTA && ok "simulated Vasta is a USB HID device with a hidraw node" \
  || fail "simulated Vasta is a USB HID device with a hidraw node" "$(oneLine "$(cat /tmp/sim.log)")"
udevadm settle -t 10
d=$(usbDevice $VASTA)
expect "USB identity: vendor, product, bcdDevice, serial" \
  "$(cat "$d/idVendor" "$d/idProduct" "$d/bcdDevice" "$d/serial" | tr '\n' ' ')" "^3c2e 0002 0205 $VASTA $"
expect "udev rule: hidraw node in group plugdev, mode 660" "$(stat -c '%G %a' "$(hidrawOf $VASTA)")" "^plugdev 660$"
expect "udev rule: USB device node in group plugdev, mode 660" "$(stat -c '%G %a' "$(usbNodeOf $VASTA)")" "^plugdev 660$"

# --- the service finds, probes and lists it
CorvaneService -e >/tmp/service.log 2>&1 &
service_pid=$!
appeared "service found and probed the Vasta" $VASTA 1
expect "listed with product and serial" "$(cat $LIST)" "Vasta +$VASTA +Hid"
expect "probe went over the HID feature reports" "$(traffic "^$VASTA (gain|dbuild|dserial) ")" "^$VASTA dserial  -> $VASTA$"

# --- registers written and read through the service agree with the controller
expect "write th" "$(tool --device $VASTA --th 45)" "^th: 45$"
expect "controller holds the written th" "$(sim get $VASTA th)" "^ok 45$"
expect "traffic log shows the write" "$(traffic "^$VASTA th ")" "^$VASTA th 45 -> 45$"
# A word the service has not read yet: its value can only come from the controller.
sim set $VASTA tmax 2 >/dev/null
expect "read tmax set on the controller" "$(tool --device $VASTA --tmax)" "^tmax: 2$"
expect "traffic log shows the read" "$(traffic "^$VASTA tmax ")" "^$VASTA tmax  -> 2$"

# --- two more controllers: another product, and one with the vendor bulk interface
sim plug lyn:$LYN:2.004 >/dev/null
sim plug tarso55:$TARSO:2.005,bulk=1 >/dev/null
appeared "second controller (Lyn) found" $LYN 1
appeared "bulk controller found" $TARSO
expect "all listed: Vasta" "$(cat $LIST)" "Vasta +$VASTA +Hid"
expect "all listed: Lyn" "$(cat $LIST)" "Lyn +$LYN +Hid"
expect "all listed: bulk controller by its bulk interface" "$(cat $LIST)" "Tarso55 +$TARSO +Bulk"
json=$(devicesJson)
expect "Vasta firmware from bcdDevice" "$json" "\"product_id\":2,\"product_name\":\"Vasta\",\"serial_number\":\"$VASTA\",\"version\":\"2.005\""
expect "Lyn firmware from bcdDevice" "$json" "\"product_id\":4,\"product_name\":\"Lyn\",\"serial_number\":\"$LYN\",\"version\":\"2.004\""
d=$(usbDevice $TARSO)
expect "bulk interface is 255/1/1 with a bulk pipe each way" \
  "$(cat "$d"/*:1.0/bInterfaceClass "$d"/*:1.0/bInterfaceSubClass "$d"/*:1.0/bInterfaceProtocol \
    "$d"/*:1.0/ep_*/type | tr '\n' ' ')" "^ff 01 01 Bulk Bulk $"
check "bulk controller also has its HID interface" hidrawOf $TARSO
sim unplug $LYN >/dev/null
removed "unplug seen as removal" $LYN
check "unplug took the Lyn off the USB bus" not usbDevice $LYN
expect "the others stay" "$(cat $LIST)" "Tarso55 +$TARSO +Bulk"
sim plug lyn:$LYN:2.004 >/dev/null
appeared "plug seen as insertion" $LYN 2

# --- bad input at the kernel level: the service survives and keeps or drops
# the controller as the HID channel's rules say. Writes always reach the
# controller (reads may be answered from the cache).
sim fail $VASTA 3 >/dev/null
expect "stalled reports: retried, written" "$(tool --device $VASTA --th 46)" "^th: 46$"
expect "stalled reports: the write reached the controller" "$(traffic "^$VASTA th 46 ")" "^$VASTA th 46 -> 46$"
sim short $VASTA 1 >/dev/null
out=$(tool --device $VASTA --th 44)
expect "short report: retried, whole answer read" "$out" "^th: 44$"
expect "stalled and short reports: controller kept" "$out" "^The selected device is: $VASTA selected$"
sim fail $LYN 1000 >/dev/null
tool --device $LYN --th 30 >/dev/null
waitFor 150 not listed $LYN && ok "controller that stops answering is dropped" \
  || fail "controller that stops answering is dropped" "still listed"
check "dropped controller is still on the USB bus" hidrawOf $LYN
sim vanish $VASTA >/dev/null
tool --device $VASTA --th 43 >/dev/null
removed "disconnect in the middle of a transfer: removed" $VASTA
check "disconnect in the middle of a transfer: off the USB bus" not usbDevice $VASTA
sim plug vasta:$VASTA:2.005 >/dev/null
appeared "replugged after the disconnect: found again" $VASTA 2
expect "service still answers" "$(tool --device $VASTA --th 41)" "^th: 41$"
check "service survived" kill -0 $service_pid
# Checked last: a probe of the bulk controller's HID interface (its probe
# words; the bulk interface itself only asks for metadata) would have
# shown long since.
check "bulk controller's HID interface was never probed" not traffic "^$TARSO (gain|dbuild|dserial) "

kill -TERM $service_pid
wait $service_pid
expect "service stops cleanly" "exit $?" "^exit 0$"
kill -TERM $sim_pid
wait $sim_pid
echo "guest: checks done at $(now) s"
if [ $failed -gt 0 ]; then
  echo "--- service log"; tail -n 20 /tmp/service.log
  echo "--- simulator log"; tail -n 20 /tmp/sim.log
  echo "--- traffic"; tail -n 20 $TRAFFIC
  echo "--- kernel"; dmesg | grep -iE 'usb|hid|raw|dummy' | tail -n 20
fi
echo "checks: $passed passed, $failed failed"
[ $failed -eq 0 ]
