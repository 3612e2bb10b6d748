/*
 * The scriptable test clock of our ClockLink: for tests only; the library
 * never uses it. A test opens a test clock, queues the answers it is to give
 * and reads back every call it received.
 *
 * Each ClockLink call but IFD_GetErrCode takes the next queued answer (or,
 * with the queue empty, status 1 and nothing delivered). IFD_GetErrCode
 * returns the error code of the last answer given.
 */
#pragma once

#include "frame/clocklink.h"

#ifdef __cplusplus
extern "C" {
#endif

enum CltFunction {
    CLT_RUN_SYS_CMD = 1,
    CLT_RUN_USER_CMD,
    CLT_GET_RND,
    CLT_GET_COMM_KEY_RND,
    CLT_SET_COMM_KEY,
    CLT_IS_COMM_KEY_VALID,
    CLT_GET_ERR_CODE,
};

enum { CLT_MAX_BYTES = 256 };

/* One call as the test clock received it. */
typedef struct CltCall {
    int function;                         /* CltFunction */
    SK_ULONG number;                      /* class or user command number */
    unsigned char params[CLT_MAX_BYTES];  /* parameter bytes; key8 then rnd8 for IFD_SetCommKey */
    SK_ULONG paramLen;
    int replyNull;                        /* the reply buffer pointer was null */
    int replyLenNull;                     /* the reply length pointer was null */
    SK_ULONG presetLen;                   /* *replyLen on entry */
} CltCall;

/* Computes reply bytes from the call's parameters (a clock that answers a
 * challenge). Sets *replyBytes to the number of bytes computed. */
typedef void (*CltReplyHook)(void* context, const CltCall* call, unsigned char* reply,
                             SK_ULONG* replyBytes);

/* One answer. reply holds the bytes offered (for IFD_GetRnd and
 * IFD_GetCommKeyRnd, the random); at most the preset length of them is
 * written. delivered is what *replyLen becomes. */
typedef struct CltAnswer {
    BOOL16 status;
    unsigned char reply[CLT_MAX_BYTES];
    SK_ULONG replyBytes;
    SK_ULONG delivered;
    SK_ULONG errCode;
    CltReplyHook hook;                    /* if set, computes reply/replyBytes; delivered = replyBytes */
    void* hookContext;
} CltAnswer;

CLOCKLINK_FUNC SK_ULONG SKAPI_CALL CLT_OpenTestClock(void);
CLOCKLINK_FUNC void SKAPI_CALL CLT_Close(SK_ULONG handle);
CLOCKLINK_FUNC void SKAPI_CALL CLT_Queue(SK_ULONG handle, const CltAnswer* answer);
CLOCKLINK_FUNC SK_ULONG SKAPI_CALL CLT_CallCount(SK_ULONG handle);
/* Copies call number index (from 0) into *out; 0 if there is none. */
CLOCKLINK_FUNC int SKAPI_CALL CLT_GetCall(SK_ULONG handle, SK_ULONG index, CltCall* out);
/* Replaces the verification key behind s_verifykey with key8 (8 bytes), or
 * restores the fixed key ClockLink loads with when key8 is null. Not for use
 * while another thread reads s_verifykey. */
CLOCKLINK_FUNC void SKAPI_CALL CLT_SetVerifyKey(const unsigned char* key8);

#ifdef __cplusplus
}
#endif
