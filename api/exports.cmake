# The library's exported names: the ABI. The Linux version script, the
# Windows .def files and the export tests are generated from this one list.

# Plain names with C linkage, grouped as in skylark.h.
set(SKYLARK_EXPORTS
  # Codecs
  BinToHex HexToBin DateToBcd BcdToDate
  # Device, security and record decoding
  SK_GetDevState
  # M clock: races and training flights
  # M clock: ring registry, event log, settings
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
set(SKYLARK_DECORATED_LINUX)
set(SKYLARK_DECORATED_WIN64)
set(SKYLARK_DECORATED_WIN32)
