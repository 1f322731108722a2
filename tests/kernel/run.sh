#!/usr/bin/env bash
# The real-kernel test: prepares the kernel and the initramfs (prepare.sh),
# boots them under qemu with software emulation and reads the scenario's
# result lines from the guest's serial console.
#
#   run.sh WORKDIR BINDIR SOURCEDIR
#
# Exit 0 when every check passed, 77 when the test cannot run here, else 1.
set -uo pipefail

work=$1
bin=$2
source=$3
here=$(cd "$(dirname "$0")" && pwd)
guestTimeout=${CORVANE_KERNEL_TIMEOUT:-240}

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", b - a }'; }

start=$(seconds)
"$here/prepare.sh" "$work" "$bin" "$source"
rc=$?
[ $rc -eq 0 ] || exit $rc
prepared=$(seconds)
echo "kernel test: preparation took $(elapsed "$start" "$prepared") s ($(cat "$work/kver"))"

log=$work/serial.log
# -cpu max gives the guest RDRAND: its random pool is ready at once, and
# the programs (Qt seeds its hashes) need not wait for it.
timeout "$guestTimeout" qemu-system-x86_64 -accel tcg -cpu max -m 1024 -smp 2 -nographic -no-reboot -net none \
  -kernel "$work/vmlinux" -initrd "$work/initrd.cpio" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3" >"$log" 2>&1
qemu=$?
finished=$(seconds)
echo "kernel test: guest run took $(elapsed "$prepared" "$finished") s (qemu exit $qemu)"

# The guest's own lines; the serial console may add carriage returns.
tr -d '\r' <"$log" | grep -aE '^(ok|FAIL) - |^checks: |^guest: ' || true
if [ $qemu -eq 124 ]; then
  echo "kernel test: the guest did not finish within $guestTimeout s; last lines:"
  tr -d '\r' <"$log" | tail -n 30
  exit 1
fi
summary=$(tr -d '\r' <"$log" | grep -aE '^checks: [0-9]+ passed, [0-9]+ failed$' | tail -n 1)
if [ -z "$summary" ]; then
  echo "kernel test: the guest gave no result; last lines:"
  tr -d '\r' <"$log" | tail -n 30
  exit 1
fi
case $summary in
  *", 0 failed") exit 0 ;;
esac
# What the guest gathered when a check failed.
tr -d '\r' <"$log" | sed -n '/^--- service log/,/^checks: /p' | grep -av '^checks: '
exit 1
