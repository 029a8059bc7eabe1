// One simulated clock behind _time64, GetLocalTime and timeGetTime; Sleep advances it,
// SwitchToThread does not.
#include "machine_state.h"

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

int64_t MsFromFields(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                     WORD milliseconds) {
    const int64_t days = DaysFromCivil(year, month, day);
    return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + milliseconds;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

void Advance(winsim::detail::Machine& m, uint64_t milliseconds) {
    m.clockMs += static_cast<int64_t>(milliseconds);
    m.tick = static_cast<DWORD>(m.tick + milliseconds);  // wraps at 2^32 like timeGetTime
}

}  // namespace

using namespace winsim;
using namespace winsim::detail;

namespace winsim::detail {
void ResetClock(Machine& machine) {
    machine.clockMs = MsFromFields(2026, 12, 4, 9, 5, 3, 42);
    machine.tick = 0;
}
}  // namespace winsim::detail

namespace winsim {

void SetLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                  WORD milliseconds) {
    Guard guard = Lock();
    State().clockMs = MsFromFields(year, month, day, hour, minute, second, milliseconds);
}

void SetTime64(__time64_t seconds) {
    Guard guard = Lock();
    State().clockMs = seconds * 1000;
}

void AdvanceMs(uint64_t milliseconds) {
    Guard guard = Lock();
    Advance(State(), milliseconds);
}

void SetTickCount(DWORD milliseconds) {
    Guard guard = Lock();
    State().tick = milliseconds;
}

std::vector<DWORD> Sleeps() {
    Guard guard = Lock();
    return State().sleeps;
}

}  // namespace winsim

extern "C" __time64_t _time64(__time64_t* timer) {
    if (auto fault = Enter("_time64")) return Fail(*fault, static_cast<__time64_t>(-1));
    Guard guard = Lock();
    const __time64_t now = FloorDiv(State().clockMs, 1000);
    if (timer != nullptr) *timer = now;
    return now;
}

extern "C" void GetLocalTime(LPSYSTEMTIME time) {
    Enter("GetLocalTime");  // cannot fail
    Guard guard = Lock();
    const int64_t ms = State().clockMs;
    const int64_t days = FloorDiv(ms, 86400000);
    const int64_t inDay = ms - days * 86400000;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    time->wYear = static_cast<WORD>(year);
    time->wMonth = static_cast<WORD>(month);
    time->wDay = static_cast<WORD>(day);
    time->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    time->wHour = static_cast<WORD>(inDay / 3600000);
    time->wMinute = static_cast<WORD>(inDay / 60000 % 60);
    time->wSecond = static_cast<WORD>(inDay / 1000 % 60);
    time->wMilliseconds = static_cast<WORD>(inDay % 1000);
}

extern "C" DWORD timeGetTime(void) {
    Enter("timeGetTime");  // cannot fail
    Guard guard = Lock();
    return State().tick;
}

extern "C" void Sleep(DWORD milliseconds) {
    Enter("Sleep");  // cannot fail; never blocks
    Guard guard = Lock();
    State().sleeps.push_back(milliseconds);
    Advance(State(), milliseconds);
}

extern "C" BOOL SwitchToThread(void) {
    Enter("SwitchToThread");  // cannot fail; never blocks
    return FALSE;             // no other thread was ready to run
}
