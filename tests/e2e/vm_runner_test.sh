#!/usr/bin/env bash
# The VM runner hands back what the command wrote on standard output and on
# standard error, each on its own, and the command's exit status; the
# command sees the virtual MIDI port it was given. A command that outlasts
# the time limit is stopped there, with status 124. Where QEMU cannot run
# the VM under KVM, the runner emulates it instead.
# usage: vm_runner_test.sh RUNNER
source "$(dirname "$0")/lib.sh"
runner=$1

status=0
"$runner" --virmidi 1 -c 'echo "to standard output"; echo "to standard error" >&2
  grep -q "VirMIDI 0-0" /proc/asound/seq/clients && exit 7' >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
[ "$status" = 7 ] || fail "exit status $status, expected 7 (the port is there); stderr: $(cat "$WORK/stderr")"
output_is "$WORK/stdout" "to standard output" || fail "standard output was: $(cat "$WORK/stdout")"
output_has "$WORK/stderr" "to standard error" || fail "standard error was: $(cat "$WORK/stderr")"
! output_has "$WORK/stdout" "to standard error" || fail "standard error came on standard output"

start=$SECONDS
status=0
"$runner" -t 20 -- sleep 3600 >/dev/null 2>"$WORK/stderr" || status=$?
took=$((SECONDS - start))
[ "$status" = 124 ] || fail "past the time limit: exit status $status, expected 124"
[ "$took" -ge 20 ] && [ "$took" -le 60 ] || fail "a limit of 20 s stopped the VM after $took s"

# A host whose KVM aborts QEMU at once, as some nested hosts do: a stand-in
# QEMU that fails that way under KVM and runs the real one otherwise. The
# runner notes such a host in its cache, so this case has a cache of its own,
# with the boot files of the runs above.
kvm="KVM is not tried here (no usable /dev/kvm)"
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
  mkdir "$WORK/bin" "$WORK/cache"
  cat >"$WORK/bin/qemu-system-x86_64" <<EOF
#!/bin/bash
case " \$* " in *" -accel kvm "*)
  echo "qemu-system-x86_64: error: failed to set MSR 0x10a to 0x69" >&2; kill -ABRT \$\$ ;;
esac
exec $(command -v qemu-system-x86_64) "\$@"
EOF
  chmod 755 "$WORK/bin/qemu-system-x86_64"
  cp -s "${ORBWELL_VM_CACHE:-/var/tmp/orbwell-vm}"/{vmlinux,initramfs}-* "$WORK/cache/" 2>/dev/null || true
  status=0
  PATH="$WORK/bin:$PATH" ORBWELL_VM_CACHE="$WORK/cache" "$runner" -t 300 -- echo hello \
    >"$WORK/stdout" 2>"$WORK/stderr" || status=$?
  [ "$status" = 0 ] && output_is "$WORK/stdout" hello ||
    fail "QEMU aborting under KVM: exit status $status, output '$(cat "$WORK/stdout")'; stderr: $(cat "$WORK/stderr")"
  [ -e "$WORK/cache/kvm-fails" ] || fail "the runner did not note that KVM fails here"
  kvm="it emulates where KVM aborts QEMU"
fi
echo "PASS: the command's output and status come back; the time limit stops it after $took s; $kvm"
