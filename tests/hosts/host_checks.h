/* Checks a host program makes through Mivex.dll's exports, written as an integrator
 * writes them: mivex.h and a few kernel32 functions, no C runtime, so the same source
 * serves a MinGW program and one linked with Microsoft-style tools. */
#ifndef MIVEX_HOST_CHECKS_H
#define MIVEX_HOST_CHECKS_H

/* Runs every check, prints one line per check on standard output and returns the
 * number of failed checks. */
int mivex_host_checks(const char* host_name);

#endif
