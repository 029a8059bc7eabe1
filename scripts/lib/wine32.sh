#!/usr/bin/env bash
# Whether this machine can run 32-bit programs, and so the product's hosts under Wine: found
# by starting Wine's 32-bit loader, as some kernels refuse 32-bit programs ("Exec format
# error"). Prints one sentence saying so; exits 0 when it can, 1 when it cannot.
# HALCYON_WINE32_LOADER names the loader to try instead (Debian's, else the `wine` on PATH).
loader="${HALCYON_WINE32_LOADER:-}"
if [[ -z "$loader" ]]; then
    loader=/usr/lib/wine/wine
    [[ -d /usr/lib/wine ]] || loader="$(command -v wine || echo wine)"
fi
answer="$("$loader" --version 2>&1)"
status=$?
if ((status == 0)); then
    echo "This machine can run 32-bit programs: Wine's 32-bit loader $loader started ($answer)."
    exit 0
fi
answer="${answer%%$'\n'*}"
echo "This machine cannot run 32-bit programs: Wine's 32-bit loader $loader did not start (${answer:+${answer##*: }, }exit $status)."
exit 1
