#!/bin/bash
# Processes sharing session.log through the DLL under Wine: 4 hosts writing 1,000 lines each
# at once, against one host writing 4,000 alone. Prints, per round and as the median of the
# rounds, the lines per second of each (4,000 over the slowest host's writing time), their
# ratio, the slowest single line, how many lines took over 5 ms, and how many did not arrive
# (written without the lock after a wait of 50 ms, they may collide).
#   bench/wine_writers.sh <bin dir holding wine_report.exe> [rounds, default 5]
# Runs with $WINE (default wine) in $WINEPREFIX (default /tmp/halcyon-wine-bench/wine-prefix,
# made when missing); logs to C:\halcyon-bench\DebugSSO and deletes the "SSOLog" key at the end.
set -eu
bin="$(cd "$1" && pwd)"
rounds="${2:-5}"
wine="${WINE:-wine}"
export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="${WINEPREFIX:-/tmp/halcyon-wine-bench/wine-prefix}"
[ -d "$WINEPREFIX/drive_c" ] || { mkdir -p "$WINEPREFIX"; wine64 wineboot -i >/dev/null 2>&1; }
key='HKLM\SOFTWARE\Corvane Systems K.K.\Corvane Keywarden\SSOLog'
"$wine" reg add "$key" /v OutputLog /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
"$wine" reg add "$key" /v OutputLogDir /t REG_SZ /d 'C:\halcyon-bench' /f /reg:64 >/dev/null 2>&1
dir="$WINEPREFIX/drive_c/halcyon-bench"
out="$(mktemp -d)"
trap 'rm -rf "$out"; "$wine" reg delete "$key" /f /reg:64 >/dev/null 2>&1 || true' EXIT

# run <hosts> <lines each>: that many hosts, each started and initialised first, write their
# lines from the same moment; prints "<lines per second> <slowest line in us> <lines over 5 ms>
# <lines lost>".
run() {
    rm -rf "$dir" "$out"/host-*
    for h in $(seq "$1"); do
        "$wine" "$bin/wine_report.exe" local 'wait=C:\halcyon-bench-go' "write=$2" >"$out/host-$h" &
        until grep -qs "^ready" "$out/host-$h"; do sleep 0.05; done
    done
    touch "$WINEPREFIX/drive_c/halcyon-bench-go"
    wait
    rm "$WINEPREFIX/drive_c/halcyon-bench-go"
    cat "$out"/host-* | tr -d '\r' | awk -F= -v lines=$(($1 * $2)) \
        -v arrived="$(grep -c ', Disconnect, 1' "$dir/DebugSSO/session.log")" '
        $1 == "write_ms" && $2 > ms { ms = $2 }
        $1 == "slowest_us" && $2 > us { us = $2 }
        $1 == "over_5ms" { over += $2 }
        END { printf "%d %d %d %d\n", lines * 1000 / (ms ? ms : 1), us, over, lines - arrived }'
}

# One row per round, then the median of each column (of the lost lines, their sum).
format='%-7s %9s %9s %6s %10s %10s %9s %9s %8s\n'
printf "$format" round 1x4000/s 4x1000/s ratio "1x max us" "4x max us" "1x >5ms" "4x >5ms" "4x lost"
for r in $(seq "$rounds"); do
    read -r alone aloneUs aloneOver _ <<<"$(run 1 4000)"
    read -r together togetherUs togetherOver lost <<<"$(run 4 1000)"
    ratio="$(awk "BEGIN { printf \"%.2f\", $together / $alone }")"
    printf "$format" "$r" "$alone" "$together" "$ratio" \
        "$aloneUs" "$togetherUs" "$aloneOver" "$togetherOver" "$lost" | tee -a "$out/rounds"
done
medians=()
for column in $(seq 2 8); do
    medians+=("$(awk -v c="$column" '{ print $c }' "$out/rounds" | sort -g |
                 awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')")
done
lostInAll="$(awk '{ n += $9 } END { print n " in all" }' "$out/rounds")"
printf "$format" median "${medians[@]}" "$lostInAll"
