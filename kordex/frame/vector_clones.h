// KORDEX_VECTOR_CLONES: marks a plain pixel loop to be built twice, for AVX2
// and for the baseline x86-64, the better one chosen when the library loads.
// Elsewhere (other compilers or machines, sanitizer builds) it marks nothing
// and the loop is built once: the sanitizers' runtimes are not set up yet
// when the loader runs the clones' resolvers, and a ThreadSanitizer build
// would crash while loading.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KORDEX_NO_VECTOR_CLONES 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KORDEX_NO_VECTOR_CLONES 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(KORDEX_NO_VECTOR_CLONES)
#define KORDEX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KORDEX_VECTOR_CLONES
#endif
