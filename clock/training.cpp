#include "clock/training.h"

#include "clock/identifiers.h"
#include "frame/frame.h"

namespace skylark {

namespace {

// Close and remove: the selector byte, then the training number.
// 0 selector 1 | 1 training number 2 | 3
BOOL16 endTrain(SK_ULONG handle, const Command& c, SK_ULONG trainNumber) {
    Params params = paramsFor(c);
    params.be16(trainNumber);
    return run(handle, c, params, nullptr).result;
}

}  // namespace

// 0 first time 6 | 6 second time 6 | 12 training byte 1 | 13
// reply: 0 training number 2 | 2
BOOL16 createTrain(SK_ULONG handle, double firstTime, double secondTime, SK_ULONG trainByte,
                   SK_ULONG* trainNumber) {
    if (trainNumber == nullptr) return 0;
    Params params = paramsFor(cmd::CreateTrain);
    params.bcdDate(firstTime).bcdDate(secondTime).u8(trainByte);
    // Any reply that delivers the two number bytes will do (minimum length).
    return runReadNumber<16>(handle, cmd::CreateTrain, params, trainNumber);
}

// 0 ring number 6 | 6 00 00 | 8
BOOL16 addTrainCard(SK_ULONG handle, const char* ringHex) {
    if (ringHex == nullptr) return 0;
    Params params = paramsFor(cmd::AddTrainCard);
    ringField(params, ringHex);
    return run(handle, cmd::AddTrainCard, params, nullptr).result;
}

// 0 training number 2 | 2 confirm value 2 | 4
BOOL16 confirmTrain(SK_ULONG handle, SK_ULONG trainNumber, SK_ULONG confirmValue) {
    Params params = paramsFor(cmd::ConfirmTrain);
    params.be16(trainNumber).be16(confirmValue);
    return run(handle, cmd::ConfirmTrain, params, nullptr).result;
}

BOOL16 closeTrain(SK_ULONG handle, SK_ULONG trainNumber) {
    return endTrain(handle, cmd::CloseTrain, trainNumber);
}

BOOL16 removeTrain(SK_ULONG handle, SK_ULONG trainNumber) {
    return endTrain(handle, cmd::RemoveTrain, trainNumber);
}

// 0 selector | 1 training number 2 | 3
// reply: 0 training index 2 | 2
BOOL16 getTrainIndex(SK_ULONG handle, SK_ULONG trainNumber, SK_ULONG* trainIndex) {
    if (trainIndex == nullptr) return 0;
    Params params = paramsFor(cmd::GetTrainIndex);
    params.be16(trainNumber);
    return runReadNumber<16>(handle, cmd::GetTrainIndex, params, trainIndex);
}

// 0 selector | 1
// reply: 0 training count 2 | 2
BOOL16 getTrainCount(SK_ULONG handle, SK_ULONG* trainCount) {
    if (trainCount == nullptr) return 0;
    Params params = paramsFor(cmd::GetTrainCount);
    return runReadNumber<16>(handle, cmd::GetTrainCount, params, trainCount);
}

// 0 selector | 1 training index 2 | 3
// reply: 0 training number 2 | 2 first time 6 | 8 second time 6 | 14 figure 2 | 16 byte 1 | 17
BOOL16 getTrainInfo(SK_ULONG handle, SK_ULONG trainIndex, SK_ULONG* trainNumber, double* firstTime,
                    double* secondTime, SK_ULONG* trainFigure, SK_ULONG* trainByte) {
    if (trainNumber == nullptr || firstTime == nullptr || secondTime == nullptr ||
        trainFigure == nullptr || trainByte == nullptr)
        return 0;
    Params params = paramsFor(cmd::GetTrainInfo);
    params.be16(trainIndex);
    return runRead(handle, cmd::GetTrainInfo, params, [&](ReplyReader& r) {
        *trainNumber = r.be16();
        *firstTime = r.bcdDate();
        *secondTime = r.bcdDate();
        *trainFigure = r.be16();
        *trainByte = r.u8();
    });
}

// 0 selector | 1 site number 1 | 2
// reply: 0 site value 4 | 4
BOOL16 getTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG* siteValue) {
    if (siteValue == nullptr) return 0;
    Params params = paramsFor(cmd::GetTrainSite);
    params.u8(siteNo);
    return runReadNumber<32>(handle, cmd::GetTrainSite, params, siteValue);
}

// 0 selector | 1 site number 1 | 2 site value 4 | 6
BOOL16 setTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG siteValue) {
    Params params = paramsFor(cmd::SetTrainSite);
    params.u8(siteNo).be32(siteValue);
    return run(handle, cmd::SetTrainSite, params, nullptr).result;
}

// 0 selector | 1 training index 2 | 3 record index 2 | 5
// reply: 0 ring number 6 | 6 (not delivered) 2 | 8 record byte 1 | 9 time 1 6 | 15 time 2 6 | 21
BOOL16 getTrainRecord(SK_ULONG handle, SK_ULONG trainIndex, SK_ULONG recordIndex, char* ringText,
                      std::uint8_t* recordByte, double* recordTime1, double* recordTime2) {
    if (ringText == nullptr || recordByte == nullptr || recordTime1 == nullptr ||
        recordTime2 == nullptr)
        return 0;
    Params params = paramsFor(cmd::GetTrainRecord);
    params.be16(trainIndex).be16(recordIndex);
    return runRead(handle, cmd::GetTrainRecord, params, [&](ReplyReader& r) {
        readRingField(r, ringText);
        *recordByte = r.u8();
        *recordTime1 = r.bcdDate();
        *recordTime2 = r.bcdDate();
    });
}

}  // namespace skylark
