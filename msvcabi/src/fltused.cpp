// Every object that uses floating point references _fltused, which Visual C++'s static
// run-time defines (its value is the one Microsoft's start-up gives it).
extern "C" {
extern int _fltused;
int _fltused = 0x9875;
}
