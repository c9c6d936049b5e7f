# Sourced: sets suite to the build whose programs run here. That is win32, the program we ship,
# wherever the machine runs 32-bit programs and has wine32; otherwise win64.
# not_shipped_note WHAT: on a machine that cannot, says on stderr what runs instead, after "so".
if bash "$(dirname "${BASH_SOURCE[0]}")/can-run-32bit.sh" && [ -x /usr/lib/wine/wine ]; then
  suite=win32
else
  suite=win64
fi
not_shipped_note() {
  [ "$suite" = win32 ] || echo "NOTE: this machine cannot run 32-bit programs, so $*" >&2
}
