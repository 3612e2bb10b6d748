// Exports: M clock races and training flights (SKM_).
#include "skylark/skylark.h"
#include "clock/race.h"
#include "clock/race_query.h"
#include "clock/race_record.h"
#include "clock/training.h"

extern "C" {

// ---- Races -------------------------------------------------------------------

SKAPI BOOL16 SKAPI_CALL SKM_CreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime,
                                       double secondTime, SK_ULONG raceParam) {
    return skylark::createRace(handle, raceKeyHex, firstTime, secondTime, raceParam);
}

SKAPI BOOL16 SKAPI_CALL SKM_AddRaceCard(SK_ULONG handle, const char* cardHex) {
    return skylark::addRaceCard(handle, cardHex);
}

SKAPI BOOL16 SKAPI_CALL SKM_ConfirmRace(SK_ULONG handle, const char* raceKeyHex,
                                        SK_ULONG confirmValue, const char* confirmData) {
    return skylark::confirmRace(handle, raceKeyHex, confirmValue, confirmData);
}

SKAPI BOOL16 SKAPI_CALL SKM_CloseRace(SK_ULONG handle, const char* raceKeyHex) {
    return skylark::closeRace(handle, raceKeyHex);
}

// A pause is a close as far as the clock is told.
SKAPI BOOL16 SKAPI_CALL SKM_PauseRace(SK_ULONG handle, const char* raceKeyHex) {
    return skylark::closeRace(handle, raceKeyHex);
}

SKAPI BOOL16 SKAPI_CALL SKM_RemoveRace(SK_ULONG handle, const char* raceKeyHex) {
    return skylark::removeRace(handle, raceKeyHex);
}

SKAPI BOOL16 SKAPI_CALL SKM_DeposeRaces(SK_ULONG handle, const char* deposeHex) {
    return skylark::deposeRaces(handle, deposeHex);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetRaceIndex(SK_ULONG handle, const char* raceKeyHex,
                                         SK_ULONG* raceIndex) {
    return skylark::getRaceIndex(handle, raceKeyHex, raceIndex);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCount(SK_ULONG handle, SK_ULONG* raceCount) {
    return skylark::getRaceCount(handle, raceCount);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetRaceInfo(SK_ULONG handle, SK_ULONG raceIndex, char* raceKeyText,
                                        double* firstTime, double* secondTime,
                                        SK_ULONG* raceFigure) {
    return skylark::getRaceInfo(handle, raceIndex, raceKeyText, firstTime, secondTime, raceFigure);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCard(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG cardIndex,
                                        char* ringText) {
    return skylark::getRaceCard(handle, raceIndex, cardIndex, ringText);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetRaceRecord(SK_ULONG handle, SK_ULONG raceIndex,
                                          SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime, char* leadText) {
    return skylark::getRaceRecord(handle, raceIndex, recordIndex, recordText, arrivalTime,
                                  leadText);
}

// ---- Training flights ------------------------------------------------------------

SKAPI BOOL16 SKAPI_CALL SKM_CreateTrain(SK_ULONG handle, double firstTime, double secondTime,
                                        SK_ULONG trainByte, SK_ULONG* trainNumber) {
    return skylark::createTrain(handle, firstTime, secondTime, trainByte, trainNumber);
}

SKAPI BOOL16 SKAPI_CALL SKM_AddTrainCard(SK_ULONG handle, const char* ringHex) {
    return skylark::addTrainCard(handle, ringHex);
}

SKAPI BOOL16 SKAPI_CALL SKM_ConfirmTrain(SK_ULONG handle, SK_ULONG trainNumber,
                                         SK_ULONG confirmValue) {
    return skylark::confirmTrain(handle, trainNumber, confirmValue);
}

SKAPI BOOL16 SKAPI_CALL SKM_CloseTrain(SK_ULONG handle, SK_ULONG trainNumber) {
    return skylark::closeTrain(handle, trainNumber);
}

SKAPI BOOL16 SKAPI_CALL SKM_RemoveTrain(SK_ULONG handle, SK_ULONG trainNumber) {
    return skylark::removeTrain(handle, trainNumber);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetTrainIndex(SK_ULONG handle, SK_ULONG trainNumber,
                                          SK_ULONG* trainIndex) {
    return skylark::getTrainIndex(handle, trainNumber, trainIndex);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetTrainCount(SK_ULONG handle, SK_ULONG* trainCount) {
    return skylark::getTrainCount(handle, trainCount);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetTrainInfo(SK_ULONG handle, SK_ULONG trainIndex,
                                         SK_ULONG* trainNumber, double* firstTime,
                                         double* secondTime, SK_ULONG* trainFigure,
                                         SK_ULONG* trainByte) {
    return skylark::getTrainInfo(handle, trainIndex, trainNumber, firstTime, secondTime,
                                 trainFigure, trainByte);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG* siteValue) {
    return skylark::getTrainSite(handle, siteNo, siteValue);
}

SKAPI BOOL16 SKAPI_CALL SKM_SetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG siteValue) {
    return skylark::setTrainSite(handle, siteNo, siteValue);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetTrainRecord(SK_ULONG handle, SK_ULONG trainIndex,
                                           SK_ULONG recordIndex, char* ringText,
                                           unsigned char* recordByte, double* recordTime1,
                                           double* recordTime2) {
    return skylark::getTrainRecord(handle, trainIndex, recordIndex, ringText, recordByte,
                                   recordTime1, recordTime2);
}

}  // extern "C"

// C++ linkage: exported under its decorated name (see skylark.h).
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceInfo2(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG* figure16,
                                         SK_ULONG* figure32) {
    return skylark::getRaceInfo2(handle, raceIndex, figure16, figure32);
}
