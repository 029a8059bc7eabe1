# The DLL exports the class members its hosts link to, by their C++ names, and nothing else.
source "$(dirname "$0")/artifact_lib.sh"

actual="$(exported_names "$PRODUCT_DLL" | sort)"
expected="$(grep -v '^#' "$EXPECTED_EXPORTS" | sort)"
typeinfo='^_ZTIN11sessionctrl(15UserTokenHolder|16IUserTokenHolder)E$'

missing="$(comm -23 <(echo "$expected") <(echo "$actual"))"
unexpected="$(comm -13 <(echo "$expected") <(echo "$actual") | grep -Ev "$typeinfo" || true)"
[[ -z "$missing" ]] || printf 'missing export: %s\n' $missing
[[ -z "$unexpected" ]] || printf 'unexpected export: %s\n' $unexpected

check "the export table is readable" test -n "$actual"
check "every member and virtual table is exported" test -z "$missing"
check "nothing else is exported (no plain functions, no internals)" test -z "$unexpected"
finish
