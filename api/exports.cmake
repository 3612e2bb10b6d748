# The library's exported names: the ABI. The Linux version script, the
# Windows .def files and the export tests are generated from this one list.

# Plain names with C linkage, grouped as in skylark.h.
set(SKYLARK_EXPORTS
  # Codecs
  BinToHex HexToBin DateToBcd BcdToDate
  # Device, security and record decoding
  SK_Connect SK_ConnectEx SK_CreateCommKey
  SK_InitDev SK_InitDevEx SK_ActiveIsp SK_GetDevState SK_GetDevInfo SK_GetTime SK_SetTime
  SK_SetPigeon
  SK_ParseRecordInfo SK_ParseRecordInfo2 SK_ParseRecordInfo3
  # M clock: races and training flights
  SKM_CreateRace SKM_AddRaceCard SKM_ConfirmRace SKM_CloseRace SKM_PauseRace SKM_RemoveRace
  SKM_DeposeRaces SKM_GetRaceIndex SKM_GetRaceCount SKM_GetRaceInfo SKM_GetRaceCard
  SKM_GetRaceRecord
  SKM_CreateTrain SKM_AddTrainCard SKM_ConfirmTrain SKM_CloseTrain SKM_RemoveTrain
  SKM_GetTrainIndex SKM_GetTrainCount SKM_GetTrainInfo SKM_GetTrainSite SKM_SetTrainSite
  SKM_GetTrainRecord
  # M clock: ring registry, event log, settings
  SKM_GetCardCount SKM_GetCardIndex SKM_GetCardInfo SKM_AppendCard SKM_ModifyCard SKM_RemoveCard
  SKM_GetMaxLogNo SKM_GetLogInfo
  SKM_GetChannelNo SKM_SetChannelNo SKM_GET_TOUCH_TYPE SKM_SET_TOUCH_TYPE SKM_GetSiteInfo
  SKM_SetSiteInfo SKM_GetPhoneCode SKM_SetPhoneCode SKM_GetStaffNo SKM_SetStaffNo
  # S clock
  SKS_ReadCard SKS_QueryState SKS_GetRaceInfo SKS_CreateRace SKS_ClearRace SKS_GetRaceRecord
  # H clock
  SKH_ReadCard SKH_QueryState SKH_ClearRace SKH_GetRaceRecord SKH_GetRaceInfo SKH_GetRaceCard
  SKH_CreateRace SKH_AddRaceCard SKH_ConfirmRace
  # Ring tags
  SKR_ActiveCard SKR_FormatCard SKR_ReadCard SKR_DeactiveCard
)

# Exports with C++ linkage, exported under decorated names. One list entry
# per export, in each of these lists at the same position:
#  - the symbol on Linux (GNU mangling of the declaration),
#  - the .def line for Windows x86-64 (Microsoft name = GCC's symbol),
#  - the .def line for Windows i686 (likewise, with GCC's @N suffix).
set(SKYLARK_DECORATED_LINUX
  # M clock: races and training flights
  _Z16SKM_GetRaceInfo2jjPjS_
)
set(SKYLARK_DECORATED_WIN64
  # M clock: races and training flights
  "?SKM_GetRaceInfo2@@YAFKKPEAK0@Z = _Z16SKM_GetRaceInfo2mmPmS_"
)
set(SKYLARK_DECORATED_WIN32
  # M clock: races and training flights
  "?SKM_GetRaceInfo2@@YGFKKPAK0@Z = _Z16SKM_GetRaceInfo2mmPmS_@16"
)
