// Stands in for a display-protocol server: the script copies it under the server's
// image name, and the host starts it and ends it. It waits so that it is listed
// meanwhile, and ends by itself should the host not get to end it.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
