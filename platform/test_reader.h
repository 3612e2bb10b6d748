/*
 * The scriptable test reader of our RingReader: for tests only; the library
 * never uses it. Each RingReader call takes the next queued answer (or, with
 * the queue empty, result 1 and zero bytes) and is recorded.
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

RINGREADER_FUNC SK_ULONG RRT_OpenTestReader(void);
RINGREADER_FUNC void RRT_Close(SK_ULONG reader);
RINGREADER_FUNC void RRT_Queue(SK_ULONG reader, const RrtAnswer* answer);
RINGREADER_FUNC SK_ULONG RRT_CallCount(SK_ULONG reader);
RINGREADER_FUNC int RRT_GetCall(SK_ULONG reader, SK_ULONG index, RrtCall* out);

#ifdef __cplusplus
}
#endif
