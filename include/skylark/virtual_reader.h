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
 * A reader holds at most RRV_MAX_TAGS tags (RRV_PutTag and RRV_AddTag refuse
 * a new one beyond that).
 *
 * Every function is safe to call from several threads; calls on one reader
 * are serialised.
 *
 * Reader files. RRV_Save writes every tag the reader holds and which one
 * lies in the field as JSON text; RRV_Load opens a reader from such a file,
 * which a person may also write by hand:
 *
 *   {                    (standins/ringreader/examples/three-tags.json)
 *    "format": "skylark-virtual-reader",
 *    "version": 1,
 *    "tags": [
 *     {"uid": "5A01C37E", "config": "060800AA",
 *      "pages": ["00000000", "00000000", "00223229", "9D12AB66",
 *                "80C0A070", "48046207", "00000000", "00000000",
 *                "00000000", "00000000", "00000000", "00000000",
 *                "00000000", "00000000"]},
 *     {"uid": "00000001"},
 *     {"uid": "00000002", "pages": {"4": "00223229", "5": "9D12AB66",
 *                                   "6": "80C0A070", "7": "480462FF"}}
 *    ],
 *    "field": "5A01C37E"
 *   }
 *
 * The first tag holds ring number 112233445566 and race number 01020304 as
 * SKR_FormatCard writes them; the third the same frame with a wrong race
 * check byte; the second is as it left the factory. The file's JSON Schema
 * is virtual_reader.schema.json beside this header.
 *
 *   format, version  required: "skylark-virtual-reader" and 1 (a greater
 *                    version is refused with RRV_ERR_FILE_VERSION).
 *   tags             the tags, each once (default: none), at most
 *                    RRV_MAX_TAGS; RRV_Save writes them in the order of
 *                    their UIDs.
 *     uid            required: the tag's UID (page 0), 8 hex digits;
 *                    unique in the file.
 *     config         the configuration page (page 1), 8 hex digits
 *                    (default: the factory's 060000AA).
 *     pages          pages 2 to 15: a list of exactly 14 pages of 8 hex
 *                    digits (what RRV_Save writes), or an object whose keys
 *                    are page numbers "2" to "15" (decimal, no leading
 *                    zero) and whose values are pages; pages left out are
 *                    zero (default: all zero).
 *   field            the UID of the tag that lies in the field, one of the
 *                    tags, or null for an empty field (default: null).
 *
 * Hex digits may be of either case; RRV_Save writes upper case. Every other
 * field, a key given twice, a wrong type or length is refused with
 * RRV_ERR_FILE_DAMAGED, and RRV_LoadEx names the field by a JSON pointer.
 * A file keeps tag memory only: a loaded reader's tag in the field is not
 * activated, and no write fault (RRV_FailNextWrite) is pending.
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

/* Pages of a tag, the bytes of a page, and the most tags a reader holds. */
enum { RRV_TAG_PAGES = 16, RRV_PAGE_BYTES = 4, RRV_MAX_TAGS = 1024 };

/* Results of RRV_Save and RRV_Load: the values of the virtual clocks'
 * CLV_ERR_ codes of the same meaning (virtual_clock.h). */
enum RrvError {
    RRV_OK = 0,
    RRV_ERR_FULL = 132,          /* out of memory */
    RRV_ERR_FILE_IO = 160,       /* the file cannot be read or written */
    RRV_ERR_FILE_DAMAGED = 161,  /* not a reader file, damaged or truncated */
    RRV_ERR_FILE_VERSION = 162,  /* saved by a newer version */
    RRV_ERR_BAD_ARGUMENT = 163   /* an unknown reader, a null path */
};

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
 * unknown reader, a null uid, a field that already holds a tag, or a new
 * tag when the reader holds RRV_MAX_TAGS. */
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

/* Adds a new tag with factory memory under this 4-byte UID to the reader,
 * outside the field (as if it had been put in and taken out). Returns 1, or
 * 0 for an unknown reader, a null uid, a UID the reader holds already, or a
 * reader that holds RRV_MAX_TAGS. */
RRV_API int RRV_CALL RRV_AddTag(RRV_HANDLE reader, const unsigned char* uid4);

/* Writes page (1..15) of the tag with this UID (one in the field or taken
 * out before) directly: no activation, no RingReader call, no write fault,
 * whatever the page holds. This is how a test makes a tag the library did
 * not write, such as a data frame whose check bytes are wrong or another
 * configuration page. uid4 null means the tag in the field. data4: in, 4
 * bytes. Page 0, the UID, is the tag's identity and is never written.
 * Returns 1, or 0 for an unknown reader or tag, page 0 or beyond 15, or a
 * null data4. */
RRV_API int RRV_CALL RRV_WriteTagPage(RRV_HANDLE reader, const unsigned char* uid4,
                                      RRV_ULONG page, const unsigned char* data4);

/* Saves the reader (its tags and which one lies in the field; see "Reader
 * files" above) to path atomically, as the virtual clocks' CLV_Save does:
 * written to a temporary file of its own beside it (created new, never
 * through a link), flushed to disk, renamed over path, and the folder
 * flushed; on failure path is left as it was. Unlike the tag functions
 * above, returns a code: RRV_OK, RRV_ERR_FILE_IO when the file cannot be
 * written, RRV_ERR_BAD_ARGUMENT for an unknown reader or a null path,
 * RRV_ERR_FULL when out of memory. */
RRV_API int RRV_CALL RRV_Save(RRV_HANDLE reader, const char* path);

/* Opens a reader saved with RRV_Save (or written by hand). Returns its
 * handle, or 0 with *err (if err is not null) set to RRV_ERR_FILE_IO,
 * RRV_ERR_FILE_DAMAGED, RRV_ERR_FILE_VERSION, RRV_ERR_BAD_ARGUMENT (null
 * path) or RRV_ERR_FULL; *err is RRV_OK on success. A refused file opens
 * nothing. */
RRV_API RRV_HANDLE RRV_CALL RRV_Load(const char* path, int* err);

/* RRV_Load that also says why a file was refused: the field as a JSON
 * pointer and what is wrong with it, e.g. "/tags/2/uid: the UID of tag 0
 * again", into why (whySize characters at most, NUL included; cut short if
 * needed; "" on success). why may be null. */
RRV_API RRV_HANDLE RRV_CALL RRV_LoadEx(const char* path, int* err, char* why, RRV_ULONG whySize);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VIRTUAL_READER_H */
