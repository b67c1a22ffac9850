#!/usr/bin/env bash
# For machines whose kernel runs 64-bit user code only: lets i386 programs
# (and so Wine, which runs the PE32 tests) start through qemu-i386, by
# installing qemu-user and registering it with binfmt_misc. Best effort and
# slow: a new Wine prefix takes about ten minutes to boot, each suite about
# a minute, and programs with several busy threads may crash under the
# emulator, so scripts/test-all.sh uses it only when ZAN_EMULATE_I386=1.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! dpkg -s qemu-user >/dev/null 2>&1; then
  echo "emulate-i386: installing qemu-user"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
fi

misc=/proc/sys/fs/binfmt_misc
if [ ! -e "$misc/register" ]; then
  $SUDO mount -t binfmt_misc binfmt_misc "$misc"
fi
if [ ! -e "$misc/qemu-i386" ]; then
  # ELF, 32-bit, little-endian, executable or shared object, machine 386.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::${magic}:${mask}:/usr/bin/qemu-i386:F" | $SUDO tee "$misc/register" >/dev/null
fi
