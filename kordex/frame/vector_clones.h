// KORDEX_VECTOR_CLONES: marks a plain pixel loop to be built twice, for AVX2
// and for the baseline x86-64, the better one chosen when the library loads.
// Elsewhere (other compilers or machines, sanitizer builds) it marks nothing
// and the loop is built once.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define KORDEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORDEX_VECTOR_CLONES
#endif
