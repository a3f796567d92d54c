#!/usr/bin/env bash
# Exits 0 when this kernel runs 32-bit x86 programs, 1 when it refuses them
# (some machines of this kind do): a 32-bit ELF of twelve instructions'
# worth that exits with 42. The installer's compiler and the setup programs
# it makes are 32-bit.
# ZELMAR_PROBE_32BIT=refused answers as such a machine would (to try the
# skipped path on one that runs them).
[ "${ZELMAR_PROBE_32BIT:-}" = refused ] && exit 1
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
python3 - "$probe" <<'PY'
import struct, sys
code = bytes([0xB8, 1, 0, 0, 0, 0xBB, 42, 0, 0, 0, 0xCD, 0x80])  # exit(42)
base, start = 0x08048000, 52 + 32
header = struct.pack("<16sHHIIIIIHHHHHH", b"\x7fELF\x01\x01\x01" + bytes(9), 2, 3, 1,
                     base + start, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<8I", 1, 0, base, base, start + len(code), start + len(code), 5, 0x1000)
open(sys.argv[1], "wb").write(header + segment + code)
PY
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? -eq 42 ]
