// fuzz_common.h -- what every fuzz target shares: a refusal by error() ends one input, not the run
#ifndef TAVO_FUZZ_COMMON_H
#define TAVO_FUZZ_COMMON_H

#include <stdio.h>
#include <stdlib.h>

#include "error.h"

// Thrown by the error hook; the target catches it, so a refused file is an
// ordinary outcome.  The readers keep their buffers in containers, so the
// unwinding frees them (LeakSanitizer watches for any that do not).
struct FuzzRefusal {
    unsigned char code;
};

static void fuzz_refuse(unsigned char code)
{
    throw FuzzRefusal{code};
}

// Installs the hook and sends the console lines of the readers to
// /dev/null, as millions of "CUBE:" lines would drown the fuzzer's own
// report on stderr.  TAVO_FUZZ_STDOUT=1 keeps them, for reading a replay.
static inline void fuzz_setup(void)
{
    error_setHook(fuzz_refuse);
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
