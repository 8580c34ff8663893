#pragma once

// Shared pieces of the fuzz targets: what must hold for every input besides
// "no crash", checked so that a violation stops the fuzzer like a crash does.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sanitizer/allocator_interface.h>

namespace fuzzcommon {

// Aborts with a message: the fuzzer keeps the input as a crash.
[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what)
{
    if (!ok)
        Fail(what);
}

inline QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// The heap the reader itself takes while it works on one input, measured by
// the sanitizer allocator (live bytes above what was live at the start,
// highest point): the process's RSS also holds Qt's and the sanitizers' own
// memory, so it cannot tell what one input cost. No input of up to 1 MB may
// make a reader hold more than 64 MB.
class TPeakHeap {
public:
    TPeakHeap();
    ~TPeakHeap();
    size_t Growth() const;
    static constexpr size_t kLimit = 64u * 1024u * 1024u;
};

// Checks the growth at the end of the scope.
class TBoundedMemory {
public:
    ~TBoundedMemory()
    {
        // scripts/fuzz reports the figures of the 1 MB inputs.
        if (std::getenv("VANTOLI_FUZZ_HEAP"))
            std::fprintf(stderr, "reader heap growth: %zu bytes\n", FPeak.Growth());
        if (FPeak.Growth() > TPeakHeap::kLimit) {
            std::fprintf(stderr, "reader heap grew by %zu bytes\n", FPeak.Growth());
            Fail("the reader used more than 64 MB on one input");
        }
    }

private:
    TPeakHeap FPeak;
};

} // namespace fuzzcommon
