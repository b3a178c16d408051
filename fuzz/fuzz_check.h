#pragma once
// A broken invariant stops the fuzzer with the input kept: it aborts, after saying which one.

#include <cstdio>
#include <cstdlib>

#define VARDEL_FUZZ_CHECK(condition)                                                               \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

#define VARDEL_FUZZ_FAIL(what)                                                           \
    do {                                                                                 \
        std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, what); \
        std::abort();                                                                    \
    } while (false)
