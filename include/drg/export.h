#ifndef DRG_EXPORT_H
#define DRG_EXPORT_H
/* Marks what the shared library exports. The grouper is compiled with its
   symbols hidden, so that its own calls bind directly and may be inlined;
   only the declarations of these public headers are visible outside it. */
#if defined(__GNUC__) || defined(__clang__)
#define DRG_API __attribute__((visibility("default")))
#else
#define DRG_API
#endif

#endif
