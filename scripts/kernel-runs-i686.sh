#!/usr/bin/env bash
# Exit status 0 when this machine's kernel starts 32-bit x86 programs itself
# (IA-32 emulation built in and enabled), 1 when it cannot, 2 when it cannot
# be told (no i686 cross compiler yet).
#   scripts/kernel-runs-i686.sh [-q]
# Starts a tiny static i686 program. It reports the machine uname() gives it:
# the kernel's own (x86_64) when the kernel runs it, "i686" when a user-mode
# emulator registered with binfmt_misc runs it instead; that is not enough
# for 32-bit Wine, so it counts as "cannot".
set -uo pipefail

quiet=
[[ ${1:-} == -q ]] && quiet=1
say() { [[ -n $quiet ]] || echo "$@"; }

if ! command -v i686-linux-gnu-gcc > /dev/null; then
  say "kernel-runs-i686: cannot tell (no i686-linux-gnu-gcc)"
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/probe.c" << 'PROBE'
#include <stdio.h>
#include <sys/utsname.h>
int main(void) {
  struct utsname name;
  if (uname(&name) != 0) return 1;
  puts(name.machine);
  return 0;
}
PROBE
if ! i686-linux-gnu-gcc -static -O1 -o "$work/probe" "$work/probe.c" 2> "$work/cc.log"; then
  say "kernel-runs-i686: cannot tell (the i686 probe did not build: $(head -n 1 "$work/cc.log"))"
  exit 2
fi
machine=$("$work/probe" 2> /dev/null)
if [[ $? -eq 0 && $machine == "$(uname -m)" ]]; then
  answer=0 text="kernel-runs-i686: this kernel starts 32-bit programs"
elif [[ -n $machine ]]; then
  answer=1 text="kernel-runs-i686: this kernel cannot start 32-bit programs (an emulator ran the probe as $machine)"
else
  answer=1 text="kernel-runs-i686: this kernel cannot start 32-bit programs"
fi
say "$text"
exit "$answer"
