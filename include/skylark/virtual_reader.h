/*
 * The virtual ring reader of our RingReader (RingReader.dll /
 * libringreader.so): a reader with a field into which a host puts ring tags
 * and takes them out again, so that a host can format and read tags through
 * Skylark's SKR_ exports with no reader attached. The real RingReader does
 * not have these functions; Skylark never calls them.
 *
 * This header is self-contained: copy it beside a host's sources.
 *
 * The tag. Memory of 16 pages of 4 bytes (page n = bytes 4n..4n+3; block b =
 * pages 4b..4b+3, 16 bytes):
 *
 *   page 0       the UID (read only; a write to it fails)
 *   page 1       the configuration page, factory value 06 00 00 AA
 *   pages 2..15  user memory, factory value all zero
 *
 * The reader. One tag at a time lies in its field. A tag keeps its memory
 * when it is taken out: putting the same UID back brings the same tag back.
 * Through RingReader:
 *   HTS_Active     succeeds while a tag lies in the field, delivers its UID
 *                  and activates it;
 *   HTS_ReadPage, HTS_WritePage, HTS_ReadBlock
 *                  succeed only on an activated tag and a page (0..15) or
 *                  block (0..3) that exists; reads deliver nothing otherwise;
 *   HTS_Deactive   succeeds when a tag was active, and ends its activation.
 * Taking the tag out of the field ends its activation as well.
 *
 * Every function is safe to call from several threads; calls on one reader
 * are serialised.
 */
#ifndef VIRTUAL_READER_H
#define VIRTUAL_READER_H

#if defined(_WIN32)
#  define RRV_CALL __stdcall
typedef unsigned long RRV_ULONG; /* the 32-bit integer slot */
#  if defined(RINGREADER_BUILDING)
#    define RRV_API __declspec(dllexport)
#  else
#    define RRV_API __declspec(dllimport)
#  endif
#else
#  include <stdint.h>
#  define RRV_CALL
typedef uint32_t RRV_ULONG; /* the 32-bit integer slot */
#  define RRV_API __attribute__((visibility("default")))
#endif

typedef RRV_ULONG RRV_HANDLE; /* a reader handle (RingReader's ReaderHandle) */

#ifdef __cplusplus
extern "C" {
#endif

/* Pages of a tag, and the bytes of a page. */
enum { RRV_TAG_PAGES = 16, RRV_PAGE_BYTES = 4 };

/* How a tag's next page write fails (RRV_FailNextWrite). */
enum RrvWriteFault {
    RRV_WRITE_REFUSED = 1, /* the write reports failure; the page keeps its bytes */
    RRV_WRITE_LOST = 2     /* the write reports success but the page keeps its bytes */
};

/* Opens a virtual reader with an empty field. Returns its handle, which is
 * the ReaderHandle to pass to Skylark's SKR_ exports (never 0). */
RRV_API RRV_HANDLE RRV_CALL RRV_Open(void);

/* Closes the reader; its handle and tags are gone. Unknown handles are
 * ignored. */
RRV_API void RRV_CALL RRV_Close(RRV_HANDLE reader);

/* Puts the tag with this 4-byte UID into the field: the tag seen before
 * under this UID, or a new tag with factory memory. Returns 1, or 0 for an
 * unknown reader, a null uid, or a field that already holds a tag. */
RRV_API int RRV_CALL RRV_PutTag(RRV_HANDLE reader, const unsigned char* uid4);

/* Takes the tag out of the field (ending its activation). Returns 1, or 0
 * when the field is empty or the reader unknown. */
RRV_API int RRV_CALL RRV_TakeTag(RRV_HANDLE reader);

/* Reads page of the tag with this UID (one in the field or taken out
 * before) directly, without activation and without a RingReader call: what
 * the tag holds. uid4 null means the tag in the field. data4: out, 4 bytes.
 * Returns 1, or 0 for an unknown reader, tag or page. */
RRV_API int RRV_CALL RRV_ReadTagPage(RRV_HANDLE reader, const unsigned char* uid4,
                                     RRV_ULONG page, unsigned char* data4);

/* Makes the next page write to the tag in the field fail the way fault says
 * (an RrvWriteFault); the writes after it succeed again. Returns 1, or 0 for
 * an empty field, an unknown reader or fault. */
RRV_API int RRV_CALL RRV_FailNextWrite(RRV_HANDLE reader, int fault);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VIRTUAL_READER_H */
