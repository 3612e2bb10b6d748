// The M clock's table of training flights: create, stock, confirm, close and
// remove flights, read the table and its records, read and write site values.
#pragma once

#include <cstdint>

#include "skylark/skylark_types.h"

namespace skylark {

BOOL16 createTrain(SK_ULONG handle, double firstTime, double secondTime, SK_ULONG trainByte,
                   SK_ULONG* trainNumber);
BOOL16 addTrainCard(SK_ULONG handle, const char* ringHex);
BOOL16 confirmTrain(SK_ULONG handle, SK_ULONG trainNumber, SK_ULONG confirmValue);
BOOL16 closeTrain(SK_ULONG handle, SK_ULONG trainNumber);
BOOL16 removeTrain(SK_ULONG handle, SK_ULONG trainNumber);

BOOL16 getTrainIndex(SK_ULONG handle, SK_ULONG trainNumber, SK_ULONG* trainIndex);
BOOL16 getTrainCount(SK_ULONG handle, SK_ULONG* trainCount);
BOOL16 getTrainInfo(SK_ULONG handle, SK_ULONG trainIndex, SK_ULONG* trainNumber, double* firstTime,
                    double* secondTime, SK_ULONG* trainFigure, SK_ULONG* trainByte);
BOOL16 getTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG* siteValue);
BOOL16 setTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG siteValue);
// ringText: 13 characters; recordByte: one byte.
BOOL16 getTrainRecord(SK_ULONG handle, SK_ULONG trainIndex, SK_ULONG recordIndex, char* ringText,
                      std::uint8_t* recordByte, double* recordTime1, double* recordTime2);

}  // namespace skylark
