/*
 * The scriptable test reader of our RingReader: for tests only; the library
 * never uses it. Every RingReader call is recorded and answered by the first
 * of these that applies:
 *  1. an answer scripted for that call's number (RRT_Script),
 *  2. the next queued answer (RRT_Queue),
 *  3. the tag in the field (RRT_InsertTag): page writes are stored, page and
 *     block reads deliver the stored pages, HTS_Active delivers the UID,
 *  4. otherwise result 1 and zero bytes.
 */
#pragma once

#include "ring/ringreader.h"

#ifdef __cplusplus
extern "C" {
#endif

enum RrtFunction {
    RRT_ACTIVE = 1,
    RRT_DEACTIVE,
    RRT_READ_PAGE,
    RRT_WRITE_PAGE,
    RRT_READ_BLOCK,
};

/* One call as the test reader received it. */
typedef struct RrtCall {
    int function;             /* RrtFunction */
    SK_ULONG page;            /* page or block number */
    unsigned char data[16];   /* the 4 bytes written by HTS_WritePage */
    int dataNull;             /* the data pointer was null */
} RrtCall;

/* One answer: the result and the bytes a read (or HTS_Active's UID) delivers. */
typedef struct RrtAnswer {
    int result;
    unsigned char data[16];
} RrtAnswer;

RINGREADER_FUNC SK_ULONG SKAPI_CALL RRT_OpenTestReader(void);
RINGREADER_FUNC void SKAPI_CALL RRT_Close(SK_ULONG reader);
RINGREADER_FUNC void SKAPI_CALL RRT_Queue(SK_ULONG reader, const RrtAnswer* answer);
RINGREADER_FUNC SK_ULONG SKAPI_CALL RRT_CallCount(SK_ULONG reader);
RINGREADER_FUNC int SKAPI_CALL RRT_GetCall(SK_ULONG reader, SK_ULONG index, RrtCall* out);

/* Pages of the simulated tag; page and block numbers beyond them fail. */
enum { RRT_TAG_PAGES = 64 };

/* Puts a tag with this UID into the reader's field, all its pages zero. */
RINGREADER_FUNC void SKAPI_CALL RRT_InsertTag(SK_ULONG reader, const unsigned char* uid4);
/* Sets or reads one page of the tag directly, without a recorded call.
 * 0 if there is no tag or no such page. */
RINGREADER_FUNC int SKAPI_CALL RRT_SetPage(SK_ULONG reader, SK_ULONG page, const unsigned char* data4);
RINGREADER_FUNC int SKAPI_CALL RRT_GetPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4);
/* Answers call number index (from 0, as RRT_GetCall counts) with answer:
 * its result, and for a read its data; the tag's pages are left alone and
 * the queue is not consumed. Scripting the same index again replaces it. */
RINGREADER_FUNC void SKAPI_CALL RRT_Script(SK_ULONG reader, SK_ULONG index, const RrtAnswer* answer);

#ifdef __cplusplus
}
#endif
