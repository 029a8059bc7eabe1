# The exploit mitigations of the built DLLs (HalcyonSessionCtrl.dll and tessark.dll), read
# back with LLVM's tools against this build's row of expected_hardening.txt. A row is the
# build's ABI name and words, each a property both DLLs must have:
#   UPPER_CASE       the DllCharacteristics flags, all of them (llvm-readobj's names without
#                    IMAGE_DLL_CHARACTERISTICS_)
#   no-load-config   no load configuration directory
#   cookie           a load configuration naming a /GS security cookie
#   safeseh          a load configuration listing the safe exception handlers (32-bit)
#   stack-protector  code of ours that checks GCC's stack canary (calls __stack_chk_fail from
#                    outside libssp's own functions)
set -u
source "$(dirname "$0")/../../scripts/lib/check.sh"

words="$(awk -v build="$HALCYON_ABI" '$1 == build { $1 = ""; print }' "$EXPECTED_HARDENING")"
[[ -n "$words" ]] || { echo "expected_hardening.txt has no row for $HALCYON_ABI"; exit 1; }
expected_flags="$(tr ' ' '\n' <<<"$words" | grep -E '^[A-Z_]+$' | sort | xargs)"
for dll in "$PRODUCT_DLL" "$TESSARK_DLL"; do
    name="$(basename "$dll")"
    headers="$("$READOBJ" --file-headers --coff-load-config "$dll")"
    load_config="$(sed -n '/^LoadConfig \[/,/^]/p' <<<"$headers")"
    flags="$(sed -n 's/^ *IMAGE_DLL_CHARACTERISTICS_\([A-Z_]*\) .*/\1/p' <<<"$headers" | sort | xargs)"
    check "$name: DllCharacteristics $expected_flags (read: $flags)" test "$flags" = "$expected_flags"
    canaries="$("$DISASSEMBLER" -d "$dll" | awk '/^[0-9a-f]+ <.*>:$/ { ours = $2 !~ /stack_chk/ }
        ours && /call.*<_*stack_chk_fail>/ { calls++ } END { print calls + 0 }')"
    for word in $words; do
        case "$word" in
            [A-Z]*) ;;
            no-load-config) check "$name: no load configuration" test -z "$load_config" ;;
            cookie) check "$name: a /GS cookie" grep -Eq '^ *SecurityCookie: 0x0*[1-9A-F]' <<<"$load_config" ;;
            safeseh) check "$name: safe exception handlers" grep -Eq '^ *SEHandlerTable: 0x0*[1-9A-F]' <<<"$load_config" ;;
            stack-protector) check "$name: $canaries calls check GCC's stack canary" test "$canaries" -gt 0 ;;
            *) check "expected_hardening.txt: a known word ($word)" false ;;
        esac
    done
done
finish
