/* A MinGW host as an integrator builds it: gcc -I dist host.c dist/libMivex.dll.a */
#include "host_checks.h"

int main(void) { return mivex_host_checks("mingw-c") ? 1 : 0; }
