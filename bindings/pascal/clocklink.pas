{ What a host uses of the stand-in ClockLink beside Skylark: the channel's
  error code, and the virtual clocks (CLV_) for tests and demonstrations. }
unit ClockLink;

{$mode objfpc}{$H+}

interface

uses Skylark;

const
  {$IFDEF WINDOWS}
  ClockLinkLib = 'ClockLink.dll';
  {$ELSE}
  ClockLinkLib = 'clocklink';
  {$ENDIF}

  CLV_KIND_M = 1;
  CLV_FAULT_TAMPER = 1;
  CLV_ERR_NOT_AUTHENTICATED = 129;
  CLV_ERR_BAD_PROOF = 130;

function IFD_GetErrCode(handle: SK_ULONG): SK_ULONG; stdcall; external ClockLinkLib name 'IFD_GetErrCode';

function CLV_Open(kind: LongInt): SK_ULONG; stdcall; external ClockLinkLib name 'CLV_Open';
function CLV_Close(handle: SK_ULONG): LongInt; stdcall; external ClockLinkLib name 'CLV_Close';
function CLV_SetPassword(handle: SK_ULONG; password: PAnsiChar): LongInt; stdcall; external ClockLinkLib name 'CLV_SetPassword';
function CLV_FreezeClock(handle: SK_ULONG; frozen: LongInt): LongInt; stdcall; external ClockLinkLib name 'CLV_FreezeClock';
function CLV_RecordArrival(handle, raceIndex: SK_ULONG; ringHex: PAnsiChar; date: Double): LongInt; stdcall; external ClockLinkLib name 'CLV_RecordArrival';
function CLV_GetStoredRecord(handle, raceIndex, recordIndex: SK_ULONG; vKey: PByte; text: PAnsiChar): LongInt; stdcall; external ClockLinkLib name 'CLV_GetStoredRecord';
function CLV_SetFault(handle: SK_ULONG; fault: LongInt; value: SK_ULONG): LongInt; stdcall; external ClockLinkLib name 'CLV_SetFault';

implementation

end.
