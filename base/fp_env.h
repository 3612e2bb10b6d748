// Floating-point arithmetic that gives the same bits whatever the calling
// host did to the processor's floating-point state.
//
// The precision control of the x87 unit, the rounding mode (x87 and SSE
// alike), flush-to-zero and the exception masks belong to the thread that
// calls us, and a host may have set any of them: programs built by MinGW run
// the x87 with 64-bit precision, graphics libraries switch it to 24 bits,
// any program may choose another rounding mode. Code whose result must not
// depend on that runs under a StandardFloatingPoint: it sets round to
// nearest, 53-bit x87 precision, no flush-to-zero and every exception
// masked, and gives the caller back exactly the control and status it had,
// flags included.
//
// The compiler may move register arithmetic across the mode switch, so the
// arithmetic itself lives in a function of its own, kept out of line
// (SKYLARK_FP_OUTLINE), that the guarded caller calls with the guard alive.
#pragma once

#if defined(__i386__) || defined(__x86_64__)
#define SKYLARK_FP_X86 1
#else
#include <cfenv>
#endif

#if defined(__clang__)
#define SKYLARK_FP_OUTLINE __attribute__((noinline))
#else
#define SKYLARK_FP_OUTLINE __attribute__((noinline, noipa))
#endif

namespace skylark {

class StandardFloatingPoint {
public:
    StandardFloatingPoint() {
#ifdef SKYLARK_FP_X86
        // x87: every exception masked, 53-bit precision, round to nearest.
        // SSE: every exception masked, round to nearest, denormals kept.
        const unsigned short x87 = 0x027F;
        const unsigned sse = 0x1F80;
        __asm__ __volatile__("fnstcw %0" : "=m"(x87_)::"memory");
        __asm__ __volatile__("stmxcsr %0" : "=m"(sse_)::"memory");
        __asm__ __volatile__("fldcw %0" ::"m"(x87) : "memory");
        __asm__ __volatile__("ldmxcsr %0" ::"m"(sse) : "memory");
#else
        std::fegetenv(&env_);
        std::fesetenv(FE_DFL_ENV);
#endif
    }

    ~StandardFloatingPoint() {
#ifdef SKYLARK_FP_X86
        __asm__ __volatile__("ldmxcsr %0" ::"m"(sse_) : "memory");
        __asm__ __volatile__("fldcw %0" ::"m"(x87_) : "memory");
#else
        std::fesetenv(&env_);
#endif
    }

    StandardFloatingPoint(const StandardFloatingPoint&) = delete;
    StandardFloatingPoint& operator=(const StandardFloatingPoint&) = delete;

private:
#ifdef SKYLARK_FP_X86
    unsigned short x87_;
    unsigned sse_;
#else
    std::fenv_t env_;
#endif
};

}  // namespace skylark
