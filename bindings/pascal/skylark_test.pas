{ Runs the Pascal binding against libskylark.so (Skylark.dll) and the
  stand-in ClockLink: codecs, records, the decorated export, and a virtual M
  clock (typical road, refused password, tampered download).
  Prints one line per check and "N passed, N failed"; exit code 1 on a failure. }
program skylark_test;

{$mode objfpc}{$H+}

uses SysUtils, DateUtils, Skylark, ClockLink;

var
  passed: Integer = 0;
  failed: Integer = 0;

procedure Check(const what: string; ok: Boolean);
begin
  if ok then begin WriteLn('ok    ', what); Inc(passed) end
  else begin WriteLn('FAIL  ', what); Inc(failed) end;
end;

procedure TestCodecsAndRecords;
var
  data: array[0..2] of Byte = ($00, $AB, $12);
  hex: array[0..6] of AnsiChar;
  bcd: array[0..5] of Byte;
  plain: array[0..SK_ParseRecordInfo_plain_Size - 1] of AnsiChar;
  masked: array[0..SK_ParseRecordInfo2_plain_Size - 1] of AnsiChar;
  vKey: array[0..7] of Byte;
  when: TDateTime;
begin
  BinToHex(@data[0], 3, @hex[0]);
  Check('BinToHex', StrPas(hex) = '00AB12');
  when := EncodeDateTime(2010, 3, 14, 9, 5, 7, 0);
  DateToBcd(@bcd[0], when);
  Check('DateToBcd', (bcd[0] = $10) and (bcd[2] = $14) and (bcd[5] = $07));
  Check('BcdToDate', SecondsBetween(BcdToDate(@bcd[0]), when) = 0);
  FillChar(vKey, SizeOf(vKey), 0);
  plain[0] := '#';
  Check('a record that does not prove gives 0, buffer untouched',
        (SK_ParseRecordInfo(@vKey[0], PAnsiChar(StringOfChar('0', 96)), @plain[0]) = 0) and (plain[0] = '#'));
  Check('SK_ParseRecordInfo2 gives -1 and 48 digits',
        (SK_ParseRecordInfo2(0, PAnsiChar(StringOfChar('0', 48)), @masked[0]) = -1) and (StrLen(masked) = 48));
end;

procedure TestDecoratedExport;
var
  f16, f32: SK_ULONG;
begin
  { Resolving it at load is the test; on a handle with no clock it fails cleanly. }
  Check('SKM_GetRaceInfo2 resolves by its decorated name', SKM_GetRaceInfo2(987654, 0, @f16, @f32) = 0);
end;

procedure TestVirtualClock;
const
  key = '5241434532303130';
  ring = '0123456789AB';
var
  h, count, cards, param: SK_ULONG;
  start, arrival: Double;
  body: array[0..SKM_GetRaceRecord_recordText_Size - 1] of AnsiChar;
  lead: array[0..SKM_GetRaceRecord_leadText_Size - 1] of AnsiChar;
  stored: array[0..96] of AnsiChar;
  plain: array[0..SK_ParseRecordInfo_plain_Size - 1] of AnsiChar;
  vKey: array[0..7] of Byte = ($01, $80, $7F, $FF, $00, $55, $AA, $33);
  zeros: array[0..7] of Byte = (0, 0, 0, 0, 0, 0, 0, 0);
  got: Double;
begin
  h := CLV_Open(CLV_KIND_M);
  Check('this ClockLink opens virtual clocks', h <> 0);
  if h = 0 then Exit;
  start := EncodeDateTime(2010, 3, 14, 9, 0, 0, 0);
  Check('typical road: initialise, connect, set time', (SK_InitDev(h) <> 0) and (SK_Connect(h) <> 0)
        and (SK_SetPigeon(h, start) <> 0));
  CLV_FreezeClock(h, 1);
  Check('time read back', (SK_GetTime(h, @got) <> 0) and (SecondsBetween(got, start) = 0));
  Check('race set up', (SKM_CreateRace(h, key, start, start + 8 / 24, 77) <> 0)
        and (SKM_AddRaceCard(h, ring + '0000') <> 0) and (SKM_ConfirmRace(h, key, 1, @zeros[0]) <> 0));
  arrival := start + 1.5 / 24;
  CLV_RecordArrival(h, 0, ring, arrival);
  Check('race count', (SKM_GetRaceCount(h, @count) <> 0) and (count = 1));
  Check('cards and race parameter', (SKM_GetRaceInfo2(h, 0, @cards, @param) <> 0) and (cards = 1) and (param = 77));
  Check('verified arrival', (SKM_GetRaceRecord(h, 0, 0, @body[0], @got, @lead[0]) <> 0)
        and (Copy(StrPas(body), 1, 12) = ring) and (SecondsBetween(got, arrival) = 0));
  CLV_GetStoredRecord(h, 0, 0, @vKey[0], @stored[0]);
  Check('stored record proves', (SK_ParseRecordInfo(@vKey[0], @stored[0], @plain[0]) <> 0)
        and (Copy(StrPas(plain), 1, 32) = StrPas(body)));

  CLV_SetFault(h, CLV_FAULT_TAMPER, 40);
  Check('tampered download refused', SKM_GetRaceRecord(h, 0, 0, @body[0], @got, @lead[0]) = 0);
  Check('intact download accepted', SKM_GetRaceRecord(h, 0, 0, @body[0], @got, @lead[0]) <> 0);
  CLV_Close(h);

  h := CLV_Open(CLV_KIND_M);
  CLV_SetPassword(h, 's3cret');
  Check('refused password', (SK_ConnectEx(h, 'wrong') = 0) and (IFD_GetErrCode(h) = CLV_ERR_BAD_PROOF));
  Check('locked until authenticated', (SKM_GetRaceCount(h, @count) = 0)
        and (IFD_GetErrCode(h) = CLV_ERR_NOT_AUTHENTICATED));
  Check('right password', (SK_ConnectEx(h, 's3cret') <> 0) and (SKM_GetRaceCount(h, @count) <> 0));
  CLV_Close(h);
end;

begin
  TestCodecsAndRecords;
  TestDecoratedExport;
  TestVirtualClock;
  WriteLn(passed, ' passed, ', failed, ' failed');
  if failed > 0 then Halt(1);
end.
