#pragma once

// ORVEL_HOT_LOOP marks the entry of a loop that carries most of the engine's
// cost. Where the loader can choose a function's body when the module loads
// (GNU indirect functions: x86-64 Linux with GCC or Clang), such a function
// gets a second body built for x86-64-v3 (AVX2 and fused multiply-add), with
// everything it calls inlined into it (`flatten`), so the inner loops run in
// that body's instructions; a processor without AVX2 and FMA runs the SSE2
// body. The fused multiply-adds round once where the SSE2 body rounds twice,
// so the two bodies differ in the last bits, never more.
//
// Elsewhere (macOS, Windows, other architectures) there is one body; Apple's
// and Windows' toolchains would need their own dispatch, and ARM64 has fused
// multiply-add in its baseline. ORVEL_ONE_BODY (the CMake option
// WRENDLE_ONE_BODY) keeps the SSE2 body alone, to measure or test it on a
// processor that would otherwise run the other. ThreadSanitizer builds have
// one body too: the loader calls the body-picking function before the
// sanitizer's runtime is up, and that function, instrumented like any other,
// crashes there.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVEL_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ORVEL_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) && ! defined(ORVEL_SIMD_SCALAR) \
    && ! defined(ORVEL_ONE_BODY) && ! defined(ORVEL_THREAD_SANITIZER)
#define ORVEL_HOT_LOOP __attribute__ ((target_clones ("arch=x86-64-v3", "default"), flatten))
#else
#define ORVEL_HOT_LOOP
#endif
