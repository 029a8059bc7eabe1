# Processes sharing session.log through the DLL. While another process holds the writers'
# lock, a writer's first line waits for it, the next ones do not: they cost what the same
# lines cost with the lock to itself. That holder is killed. Four writers whose lines were
# held back while a process kept the file from them flush them at once when it is killed,
# across a rotation: every line arrives whole, each process's in order.
source "$HALCYON_WINE_LIB"
OUT="$(unix_path "$TEST_DIR")"
GO="$TEST_DIR\\go"
reg delete "$TESSARK_KEY"
log_on
# Reached once in all, so one rotation moves the start aside and no later one replaces it.
reg add "$SSOLOG_KEY" /v OutputLogSize /t REG_DWORD /d 102400
mkdir -p "$(dirname "$LOG")"

# start <name> <words...>: a host in the background, bounded in time, its output in <name>.out;
# STARTED is its process.
start() {
    timeout -s KILL 120 "$WINE" "$HALCYON_BIN_DIR/wine_report.exe" "${@:2}" >"$OUT/$1.out" &
    STARTED=$!
}
# await <name> <line>: until that host printed the line. value <name> <question>: its answers.
await() {
    until grep -q "^$2"$'\r' "$OUT/$1.out"; do sleep 0.1; done
}
value() { tr -d '\r' <"$OUT/$1.out" | sed -n "s/^$2=//p"; }
# holder <hold|block>: a host that takes the writers' lock on session.log; kill_holder kills it
# and gives the wineserver a moment to close its handles.
holder() {
    "$WINE" "$HALCYON_BIN_DIR/wine_report.exe" "$1=$TEST_DIR\\new\\DebugSSO\\session.log" >"$OUT/$1.out" &
    HOLDER=$!
    await "$1" held=1
}
kill_holder() {
    kill -9 $HOLDER
    wait $HOLDER 2>/dev/null
    sleep 0.5
}

# What 299 lines cost this host with the lock to itself, then with another process holding it.
start w0 pid local write=299 wait="${GO}1" write=1 write=299
await w0 ready
holder hold
touch "$(unix_path "${GO}1")"
wait $STARTED
read -r alone first next <<<"$(value w0 write_ms | tr '\n' ' ')"
check "the first line waits for the other process's lock: $first ms" test "$first" -ge 50
# Without a wait they cost what they cost alone; a small multiple leaves room for the machine.
check "the next 299 do not wait: $next ms, alone $alone ms" test "$next" -le $((3 * alone + 300))
kill_holder

holder block
for w in 1 2 3 4; do
    start w$w pid local write=45 wait="${GO}2" write=250
    await w$w ready
done
kill_holder
touch "$(unix_path "${GO}2")"
wait
host wine_report.exe local

# tally: the lines that are not one whole line ending in CR LF, then for each process its
# numbered lines and whether they came in order.
tally() {
    local all cr=$'\r'
    all="$(cat "$LOG.bak" "$LOG")"
    echo "torn=$(($(grep -Evc "^$LOG_HEADER[^$cr]*$cr\$" <<<"$all") + $(grep -c 'PID:.*PID:' <<<"$all")))"
    sed -nE 's/.*, PID:0*([0-9]+), TID:[0-9]+, Disconnect, 1([0-9]+) .*/\1 \2/p' <<<"$all" |
        awk '{ n[$1]++; late[$1] += $2 != n[$1] }
             END { for (p in n) print p, n[p], late[p] ? "out of order" : "in order" }' | sort -n
}
written() {
    echo "$(value w0 pid) 599 in order"
    for w in 1 2 3 4; do echo "$(value w$w pid) 295 in order"; done
}
same "every line whole, each writer's in its order" "torn=0
$(written | sort -n)" "$(tally)"
check "one rotation moved the start aside" grep -q "PID:0*$(value w0 pid), .*, 100001 " "$LOG.bak"
reg delete "$SSOLOG_KEY"
finish
