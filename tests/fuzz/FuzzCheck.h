#pragma once
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

// A failed check ends the run the way a crash does, so that libFuzzer keeps the
// input that caused it and prints it.
#define FUZZ_CHECK(cond, what)                                                                     \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "check failed: %s (%s)\n", #cond,                                 \
                         QString(what).toUtf8().constData());                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
