// The tracing build's ClockLink and RingReader calls: each goes to the
// import, then its line goes to the trace with what was sent and what came
// back (docs/trace-format.md).
#include "frame/clocklink_calls.h"
#include "ring/ringreader_calls.h"
#include "trace/trace.h"

namespace skylark::link {

namespace {

trace::Line clockLine(const char* fn, SK_ULONG handle) {
    trace::Line line("clocklink");
    line.key("call").unsignedNumber(trace::currentCall());
    line.key("thread").unsignedNumber(trace::threadNumber());
    line.key("fn").text(fn, 32);
    line.key("handle").unsignedNumber(handle);
    return line;
}

trace::Line readerLine(const char* fn, SK_ULONG reader) {
    trace::Line line("ringreader");
    line.key("call").unsignedNumber(trace::currentCall());
    line.key("thread").unsignedNumber(trace::threadNumber());
    line.key("fn").text(fn, 32);
    line.key("reader").unsignedNumber(reader);
    return line;
}

using RunFn = BOOL16 SKAPI_CALL (*)(SK_ULONG, SK_ULONG, unsigned char*, SK_ULONG, unsigned char*,
                                    SK_ULONG*);

BOOL16 runTraced(RunFn fn, const char* name, const char* numberKey, SK_ULONG handle,
                 SK_ULONG number, unsigned char* params, SK_ULONG paramLen, unsigned char* reply,
                 SK_ULONG* replyLen) {
    if (!trace::active()) return fn(handle, number, params, paramLen, reply, replyLen);
    const bool hasLength = replyLen != nullptr;
    const SK_ULONG preset = hasLength ? *replyLen : 0;
    // The block as it was handed over.
    trace::Line line = clockLine(name, handle);
    line.key(numberKey).unsignedNumber(number);
    line.key("params").bytes(params, paramLen);
    if (hasLength) line.key("preset").unsignedNumber(preset);
    else line.key("preset").null();
    const BOOL16 status = fn(handle, number, params, paramLen, reply, replyLen);
    line.key("status").number(status);
    if (hasLength) {
        const SK_ULONG delivered = *replyLen;
        line.key("delivered").unsignedNumber(delivered);
        // ClockLink writes at most the preset length.
        if (reply != nullptr) line.key("reply").bytes(reply, delivered < preset ? delivered : preset);
    }
    trace::emit(line);
    return status;
}

}  // namespace

BOOL16 runSysCmd(SK_ULONG handle, SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                 unsigned char* reply, SK_ULONG* replyLen) {
    return runTraced(IFD_RunSysCmd, "IFD_RunSysCmd", "class", handle, cls, params, paramLen, reply,
                     replyLen);
}

BOOL16 runUserCmd(SK_ULONG handle, SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                  unsigned char* reply, SK_ULONG* replyLen) {
    return runTraced(IFD_RunUserCmd, "IFD_RunUserCmd", "number", handle, cmdNo, params, paramLen,
                     reply, replyLen);
}

BOOL16 getRnd(SK_ULONG handle, unsigned char* rnd4) {
    const BOOL16 status = IFD_GetRnd(handle, rnd4);
    if (trace::active()) {
        trace::Line line = clockLine("IFD_GetRnd", handle);
        line.key("status").number(status).key("reply").bytes(rnd4, 4);
        trace::emit(line);
    }
    return status;
}

BOOL16 getCommKeyRnd(SK_ULONG handle, unsigned char* rnd8) {
    const BOOL16 status = IFD_GetCommKeyRnd(handle, rnd8);
    if (trace::active()) {
        trace::Line line = clockLine("IFD_GetCommKeyRnd", handle);
        line.key("status").number(status).key("reply").bytes(rnd8, 8);
        trace::emit(line);
    }
    return status;
}

BOOL16 setCommKey(SK_ULONG handle, unsigned char* key8, unsigned char* rnd8) {
    const BOOL16 status = IFD_SetCommKey(handle, key8, rnd8);
    if (trace::active()) {
        trace::Line line = clockLine("IFD_SetCommKey", handle);
        line.key("key").bytes(key8, 8).key("rnd").bytes(rnd8, 8).key("status").number(status);
        trace::emit(line);
    }
    return status;
}

BOOL16 isCommKeyValid(SK_ULONG handle) {
    const BOOL16 status = IFD_IsCommKeyValid(handle);
    if (trace::active()) {
        trace::Line line = clockLine("IFD_IsCommKeyValid", handle);
        line.key("status").number(status);
        trace::emit(line);
    }
    return status;
}

SK_ULONG getErrCode(SK_ULONG handle) {
    const SK_ULONG code = IFD_GetErrCode(handle);
    if (trace::active()) {
        trace::Line line = clockLine("IFD_GetErrCode", handle);
        line.key("result").unsignedNumber(code);
        trace::emit(line);
    }
    return code;
}

// ---- RingReader ------------------------------------------------------------------

int active(SK_ULONG reader, unsigned char* uid4) {
    const int status = HTS_Active(reader, uid4);
    if (trace::active()) {
        trace::Line line = readerLine("HTS_Active", reader);
        line.key("status").number(status).key("data").bytes(uid4, 4);
        trace::emit(line);
    }
    return status;
}

int deactive(SK_ULONG reader) {
    const int status = HTS_Deactive(reader);
    if (trace::active()) {
        trace::Line line = readerLine("HTS_Deactive", reader);
        line.key("status").number(status);
        trace::emit(line);
    }
    return status;
}

int readPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    const int status = HTS_ReadPage(reader, page, data4);
    if (trace::active()) {
        trace::Line line = readerLine("HTS_ReadPage", reader);
        line.key("page").unsignedNumber(page).key("status").number(status).key("data").bytes(data4, 4);
        trace::emit(line);
    }
    return status;
}

int writePage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    if (!trace::active()) return HTS_WritePage(reader, page, data4);
    // The bytes as they were handed over, before the reader could touch them.
    trace::Line line = readerLine("HTS_WritePage", reader);
    line.key("page").unsignedNumber(page).key("data").bytes(data4, 4);
    const int status = HTS_WritePage(reader, page, data4);
    line.key("status").number(status);
    trace::emit(line);
    return status;
}

int readBlock(SK_ULONG reader, SK_ULONG block, unsigned char* data16) {
    const int status = HTS_ReadBlock(reader, block, data16);
    if (trace::active()) {
        trace::Line line = readerLine("HTS_ReadBlock", reader);
        line.key("block").unsignedNumber(block).key("status").number(status).key("data").bytes(data16, 16);
        trace::emit(line);
    }
    return status;
}

}  // namespace skylark::link
