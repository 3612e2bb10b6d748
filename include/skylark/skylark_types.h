/*
 * Skylark's binary types: the calling convention of every export and import,
 * the 32-bit integer slot, the 16-bit result, and the export marker. The
 * public header includes this; the library's internal layers include it
 * alone, without the 79 declarations.
 */
#ifndef SKYLARK_TYPES_H
#define SKYLARK_TYPES_H

#if defined(_WIN32)
#  define SKAPI_CALL __stdcall
typedef unsigned long SK_ULONG; /* the 32-bit integer slot */
typedef short BOOL16;
#else
#  include <stdint.h>
#  define SKAPI_CALL
typedef uint32_t SK_ULONG; /* the 32-bit integer slot */
typedef int16_t BOOL16;
#endif

/* Marks a declaration as exported. On Windows the .def file exports. */
#if !defined(_WIN32) && defined(SKYLARK_BUILDING)
#  define SKAPI __attribute__((visibility("default")))
#else
#  define SKAPI
#endif

#endif /* SKYLARK_TYPES_H */
