#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The Linux hardware backend on a real kernel: Debian's kernel boots under QEMU
# (TCG, no KVM needed) with a busybox initramfs, and the program as built runs
# real ioperm, /dev/mem, in/out instructions and the privilege drop against
# QEMU's standard VGA, whose bus answers all ones on the register window ports.
# Two boots: the stock VGA BIOS (no GeForce), and QEMU's VGA without a ROM of
# its own, with a GeForce2 GTS image that SeaBIOS runs as the VGA BIOS (a
# fw_cfg file under vgaroms/, which needs no matching PCI IDs). That card does
# not answer through its window, so every write is refused; the interrupt
# bracket itself is tested as root in the suite (realtime_bracket_test).
#
# The guest only runs the cases and prints what they show between "@@ NAME"
# markers; this script judges. Usage: bash tests/vm/run.sh. Settings: BUILD_DIR
# as for scripts/build.sh; RUVUVURI_VM_CACHE (default ~/.cache/ruvuvuri-vm)
# keeps the kernel between runs; VM_BOOT_SECONDS limits each boot (120);
# VM_KEEP=1 leaves the work folder (consoles, initramfs) in place.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath -m "${BUILD_DIR:-build}")
cache=${RUVUVURI_VM_CACHE:-$HOME/.cache/ruvuvuri-vm}
boot_seconds=${VM_BOOT_SECONDS:-120}

# --- what the test needs -----------------------------------------------------
packages=(qemu-system-x86 busybox-static cpio)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "vm: missing packages: ${missing[*]}; run this script as root (sudo) to install them" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The test's own tools are built with the test suite: a build folder made
# without it is configured for it (its other settings are kept).
cmake -S . -B "$build" -DRUVUVURI_TESTS=ON >/dev/null
cmake --build "$build" --target ruvuvuri make_vm_rom vm_reference -j"$(nproc)" >/dev/null

# Debian's kernel, unpacked from its package into the cache, never installed.
kernel_package=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
if [ -z "$kernel_package" ]; then
  echo "vm: apt knows no linux-image-amd64; run apt-get update first" >&2
  exit 1
fi
kernel=$cache/$kernel_package/vmlinuz
if [ ! -f "$kernel" ]; then
  mkdir -p "$cache/$kernel_package"
  (cd "$cache/$kernel_package" && apt-get download -q -o APT::Sandbox::User=root "$kernel_package" >/dev/null &&
    dpkg-deb --fsys-tarfile ./*.deb | tar -x --wildcards './boot/vmlinuz-*' &&
    mv boot/vmlinuz-* vmlinuz && rm -rf boot ./*.deb)
fi

work=$(mktemp -d)
trap '[ -n "${VM_KEEP:-}" ] || rm -rf "$work"' EXIT

# --- the initramfs -----------------------------------------------------------
root=$work/root
mkdir -p "$root"/{bin,dev,etc,proc,run,sys,tmp,opt/ruvuvuri}
cp /bin/busybox "$root/bin/"
for applet in $(busybox --list); do [ "$applet" = busybox ] || ln -s busybox "$root/bin/$applet"; done
cp "$build/ruvuvuri" "$build/Ruvuvuri.ui" "$root/opt/ruvuvuri/"
for lib in $(ldd "$build/ruvuvuri" | grep -o '/[^ ]*' | sort -u); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
printf 'root:x:0:0::/:/bin/sh\nuser:x:1000:1000::/tmp:/bin/sh\n' >"$root/etc/passwd"
printf 'root:x:0:\nuser:x:1000:\n' >"$root/etc/group"

cat >"$root/init" <<'GUEST'
#!/bin/sh
# Runs the cases of this boot ($vmcase, from the kernel command line) and prints
# what they show; the host judges.
export PATH=/bin
mount -t proc proc /proc
mount -t devtmpfs dev /dev
mount -t tmpfs -o mode=1777 tmp /tmp
mount -t tmpfs -o mode=755 run /run
mkdir -m 1777 /run/lock
cd /tmp
echo # the firmware leaves the cursor mid-line
ruvuvuri=/opt/ruvuvuri/ruvuvuri

show() { # NAME STATUS: what one run left behind
  echo "@@ $1.status"; echo "$2"
  for part in out err trace; do echo "@@ $1.$part"; cat "/tmp/$1.$part" 2>/dev/null; done
}
run() { # NAME ARGS...: one run as root, traced
  name=$1; shift
  "$ruvuvuri" "$@" --trace="/tmp/$name.trace" >"/tmp/$name.out" 2>"/tmp/$name.err"
  show "$name" $?
}
wait_for() { # PID CONDITION: polls for up to 20 s while PID lives
  for _ in $(seq 2000); do
    [ -d "/proc/$1" ] || return 1
    eval "$2" && return 0
    usleep 10000
  done
  return 1
}

if [ "$vmcase" = stock ]; then
  run stock c=200
else
  run info --info

  run set c=200 m=183
  run restore --restore
  echo "@@ records"
  stat -c '%a %U %n' /run/ruvuvuri /run/ruvuvuri/started

  # Started through sudo: the panel waits for its first command (a read of
  # stdin) once start-up, and with it the drop to the user, is done.
  mkfifo /tmp/panel
  SUDO_UID=1000 SUDO_GID=1000 "$ruvuvuri" --ui=console --trace=/tmp/sudo.trace \
    </tmp/panel >/tmp/sudo.out 2>/tmp/sudo.err &
  pid=$!
  exec 3>/tmp/panel
  echo "@@ sudo.ids"
  if wait_for "$pid" '[ "$(cut -d" " -f1,2 /proc/$pid/syscall)" = "0 0x0" ]'; then
    grep -E '^(Uid|Gid|Groups)' "/proc/$pid/status"
    echo "@@ sudo.owner"
    stat -c %u:%g /tmp/sudo.trace
  fi
  printf 'core 175\napply\ny\nexit\n' >&3
  exec 3>&-
  wait "$pid"
  show sudo $?

  su -s /bin/sh user -c "$ruvuvuri --info" >/tmp/user.out 2>/tmp/user.err
  show user $?

  # A minimal system: no /run/lock, and a read-only root.
  umount /run
  mount -o remount,ro /
  run minimal --info
fi
echo "@@ end"
poweroff -f
GUEST
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd"

# --- boot --------------------------------------------------------------------
"$build/tests/make_vm_rom" "$work/geforce.rom"

boot() { # CASE QEMU_ARGS...: boots once, leaves the console in $work/CASE.log
  local started=$SECONDS name=$1
  shift
  timeout --kill-after=5 "$boot_seconds" qemu-system-x86_64 -machine pc -m 512 -nographic \
    -no-reboot -net none -vga none "$@" -kernel "$kernel" -initrd "$work/initrd" \
    -append "console=ttyS0 quiet panic=-1 vmcase=$name" </dev/null >"$work/$name.log" 2>&1 || true
  set -- "$name"
  echo "vm: $1 boot took $((SECONDS - started)) s"
  # One file per "@@ NAME" section.
  mkdir -p "$work/$1"
  tr -d '\r' <"$work/$1.log" |
    awk -v dir="$work/$1" '/^@@ / {file = dir "/" $2; printf "" >file; next} file {print >file}'
}
# Side by side: each boot is one emulator thread.
boot stock -device VGA &
boot geforce -device VGA,romfile= -fw_cfg "name=vgaroms/geforce.rom,file=$work/geforce.rom" &
wait

# --- judging -----------------------------------------------------------------
failures=0
fail() {
  echo "vm: FAIL: $*" >&2
  failures=$((failures + 1))
}
section() { cat "$work/$1" 2>/dev/null || true; }
expect() { # SECTION EXPECTED
  local got
  got=$(section "$1")
  [ "$got" = "$2" ] || fail "$1: expected [$2], got [$got]"
}

if [ ! -f "$work/geforce/end" ] || [ ! -f "$work/stock/end" ]; then
  fail "a virtual machine did not finish its cases; console:"
  cat "$work/stock.log" "$work/geforce.log" >&2
fi

# The simulated card on a bus that answers all ones (with the same ROM), run
# through the program's card stage, is the reference for the order of port
# accesses: a port-level trace keeps every access, the CRT controller at
# whichever address the misc register chooses, and the words written to the
# window; values read back, and the bytes written back from them, depend on
# QEMU's VGA and are left out.
sim_trace() { # NAME ARGS...
  local name=$1
  shift
  "$build/tests/vm_reference" "$work/geforce.rom" "$work/$name.sim" "$@" >/dev/null 2>&1 || true
}
protocol() {
  awk '{ sub(/^0x3b/, "0x3d", $2) }
       $1 ~ /^in/ || ($1 ~ /^out/ && $2 !~ /^0x3d[02]$/) { print $1, $2; next }
       { print }'
}
# The register writes, "ADDRESS VALUE": in address mode (CR38 high byte 0x03)
# the window takes the address, in write mode (0x07) the low word goes to the
# latch and the high word commits. The window's own restore of its address and
# latch on closing is no register write: it ends in read or address mode.
register_writes() {
  awk '$1 == "outw" && $2 ~ /^0x3[bd]4$/ { mode = substr($3, 1, 4); next }
       $1 != "outw" { next }
       mode == "0x03" && $2 == "0x3d2" { address = "0x" substr($3, 3) }
       mode == "0x03" && $2 == "0x3d0" { address = address substr($3, 3) }
       mode == "0x07" && $2 == "0x3d0" { low = substr($3, 3) }
       mode == "0x07" && $2 == "0x3d2" { print address, $3 low }'
}
compare_protocol() { # SECTION SIM_NAME
  diff <(section "$1" | protocol) <(protocol <"$work/$2.sim") >"$work/diff" ||
    fail "$1 differs from the simulator's access order: $(head -20 "$work/diff")"
}

# No GeForce: the message, nothing touched but the BIOS.
expect stock/stock.status 0
expect stock/stock.err "Ruvuvuri: I think, you don't have GeForce card?"
expect stock/stock.trace "$(printf '# ruvuvuri trace 1\nmem 0xc0000 8192')"

# --info: the ROM's fields and a card that answers all ones.
expect geforce/info.status 0
expect geforce/info.err ""
expect geforce/info.out "$(printf '%-18s%s\n' 'Device ID:' 0x0150 'Chip:' 'NV15 (GeForce2 GTS/Pro/Ti/Ultra)' \
  'Subsystem:' '0x10DE 0x0150' 'BIOS version:' 3.11.01.05 'BIOS text:' 'GF2 GTS ' \
  'Crystal:' '14318 kHz' 'Core clock:' '0.000 MHz (PLL 0xFFFFFFFF)' \
  'Memory clock:' '0.000 MHz (PLL 0xFFFFFFFF)' \
  'Timing 0:' 0xFFFFFFFF 'Timing 1:' 0xFFFFFFFF 'Timing 2:' 0xFFFFFFFF)"
sim_trace info --info
compare_protocol geforce/info.trace info

# c=200 m=183: the card reads all ones, so it is read and nothing is written:
# no bracket, no register write, one line that says why.
expect geforce/set.status 255
expect geforce/set.err "ruvuvuri: the card does not answer through its register window (the strap or a PLL register reads 0xFFFFFFFF): it is not there, hung, or not the primary display adapter; nothing was written. Make the GeForce the primary adapter and run again"
writes=$(section geforce/set.trace | register_writes)
[ -z "$writes" ] || fail "register writes to a card that does not answer: [$writes]"
section geforce/set.trace | grep -q '^irq' && fail "a bracket opened on a card that does not answer"
sim_trace set c=200 m=183
compare_protocol geforce/set.trace set

# --restore: a card that does not answer left no clocks to write back, and the
# record lies where only root can read it.
expect geforce/restore.status 2
expect geforce/restore.err "ruvuvuri: --restore: no run has read the card since the machine started, so there are no clocks it started with to write back; nothing was touched"
expect geforce/records $'700 root /run/ruvuvuri\n600 root /run/ruvuvuri/started'

# Started through sudo: the user's ids, the user's trace file, and the ports
# still usable after the drop (the readout is made as the user; Apply is
# refused on this card).
expect geforce/sudo.ids $'Uid:\t1000\t1000\t1000\t1000\nGid:\t1000\t1000\t1000\t1000\nGroups:\t '
expect geforce/sudo.owner 1000:1000
expect geforce/sudo.status 0
[ "$(section geforce/sudo.trace | grep -c '^inw 0x3d2')" -ge 6 ] || fail "sudo: no readout in the trace"
section geforce/sudo.err | grep -q '^Ruvuvuri: The card does not answer' || fail "sudo: Apply was not refused"

# Without CAP_SYS_RAWIO: the one line about port access.
expect geforce/user.status 255
expect geforce/user.err "ruvuvuri: cannot access the VGA I/O ports (ioperm: Operation not permitted); run as root or grant CAP_SYS_RAWIO"

# Minimal system: the run works, or it ends with one line about the lock.
minimal_status=$(section geforce/minimal.status)
if [ "$minimal_status" = 0 ]; then
  expect geforce/minimal.out "$(section geforce/info.out)"
else
  expect geforce/minimal.status 255
  if ! section geforce/minimal.err | grep -Eqx 'ruvuvuri: .*lock.*' ||
    [ "$(section geforce/minimal.err | wc -l)" != 1 ]; then
    fail "minimal system: unclear failure [$(section geforce/minimal.err)]"
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "vm: $failures case(s) failed" >&2
  exit 1
fi
echo "vm: all cases passed on $kernel_package"
