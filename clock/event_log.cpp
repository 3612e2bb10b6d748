#include "clock/event_log.h"

#include <cstring>

#include "frame/frame.h"

namespace skylark {

static_assert(LogEntry::kMaxSize == cmd::GetLogInfo.replyLen);
static_assert(LogEntry::kHeadSize == cmd::GetLogInfo.minReply);

LogEntry LogEntry::decode(const std::uint8_t* reply, std::uint32_t length) {
    LogEntry e;
    ReplyReader in(reply);
    e.logType = in.u8();
    e.logTime = in.bcdDate();
    const std::size_t used = length < kMaxSize ? length : kMaxSize;
    e.dataLength = used - kHeadSize;
    std::memcpy(e.logData, in.here(), e.dataLength);
    return e;
}

BOOL16 getMaxLogNo(SK_ULONG handle, SK_ULONG* maxLogNo) {
    if (maxLogNo == nullptr) return 0;
    Params p = paramsFor(cmd::GetMaxLogNo);
    // 0 max log number 4
    return runReadNumber<32>(handle, cmd::GetMaxLogNo, p, maxLogNo);
}

BOOL16 getLogInfo(SK_ULONG handle, SK_ULONG logNo, std::uint8_t* logType, double* logTime,
                  char* logDataText) {
    if (logType == nullptr || logTime == nullptr || logDataText == nullptr) return 0;
    // 0 selector | 1 log number 4
    Params p = paramsFor(cmd::GetLogInfo);
    p.be32(logNo);
    // The entry's data runs to the end of what the clock delivered.
    return runRead(handle, cmd::GetLogInfo, p, [&](ReplyReader& r, std::uint32_t length) {
        const LogEntry e = LogEntry::decode(r.here(), length);
        *logType = e.logType;
        *logTime = e.logTime;
        binToHex(e.logData, e.dataLength, logDataText);
    });
}

}  // namespace skylark
