// fuzz_common.h -- what every fuzz target shares: the readers' console kept out of the fuzzer's report, the checks
#ifndef TAVO_FUZZ_COMMON_H
#define TAVO_FUZZ_COMMON_H

#include <stdio.h>
#include <stdlib.h>

// Sends the console lines of the readers to /dev/null, as millions of
// "CUBE:" lines would drown the fuzzer's own report on stderr.
// TAVO_FUZZ_STDOUT=1 keeps them, for reading a replay.  A refused input is
// an ordinary outcome: the readers return it.
static inline void fuzz_setup(void)
{
    const char *keep = getenv("TAVO_FUZZ_STDOUT");
    if (!keep || *keep != '1')
        if (!freopen("/dev/null", "w", stdout))
            abort();
}

// A broken invariant is a finding: stop where the sanitizers would.
#define FUZZ_CHECK(cond)                                                   \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                       \
        }                                                                  \
    } while (0)

#endif
