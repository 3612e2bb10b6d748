{ Runs the Pascal binding against libskylark.so (Skylark.dll) and the
  stand-in ClockLink: codecs, records, the decorated export, a virtual M
  clock (typical road, refused password, tampered download), the checked
  layer's refusals (a table of mistakes) and who a failure is attributed to.
  Prints one line per check and "N passed, N failed"; exit code 1 on a failure. }
program skylark_test;

{$mode objfpc}{$H+}

uses SysUtils, DateUtils, SkylarkCheck, SkylarkChecked, Skylark, ClockLink, RingReader;

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

const
  MistakeCount = 12;
  { The argument each mistake is refused for, and words of its message. }
  MistakeArgument: array[0..MistakeCount - 1] of string = ('ringText', 'ringText', 'wordField1', 'wordField2',
    'byteField', 'dataField', 'raceKeyHex', 'secondTime', 'confirmValue', 'confirmData', 'password', 'coordText1');
  MistakeWords: array[0..MistakeCount - 1] of string = ('13 digits', '''N'' at position 0', '0 to 65535', 'got -1',
    '0 to 255', '22 digits', '''M'' at position 0', '2000 to 2099', '16-bit', 'exactly 8 bytes, got 7',
    'at most 8 characters', 'DDD.FFFFFFFF');

procedure Mistake(h: SK_ULONG; i: Integer);
const
  r = '2026A0001001';
  data = '000000000000000000000000';
var
  when: TDateTime;
  seven: array[0..6] of Byte = (1, 2, 3, 4, 5, 6, 7);
begin
  when := EncodeDateTime(2026, 5, 16, 7, 30, 0, 0);
  case i of
    0: SkylarkChecked.SKM_AppendCard(h, r + '1', 1, 2, 3, 4, 5, data);
    1: SkylarkChecked.SKM_AppendCard(h, 'NL-2026-1234567', 1, 2, 3, 4, 5, data);
    2: SkylarkChecked.SKM_AppendCard(h, r, 1, 70000, 3, 4, 5, data);
    3: SkylarkChecked.SKM_AppendCard(h, r, 1, 2, -1, 4, 5, data);
    4: SkylarkChecked.SKM_AppendCard(h, r, 256, 2, 3, 4, 5, data);
    5: SkylarkChecked.SKM_AppendCard(h, r, 1, 2, 3, 4, 5, Copy(data, 1, 22));
    6: SkylarkChecked.SKM_CreateRace(h, 'MAY16ORL', when, when, 0);
    7: SkylarkChecked.SKM_CreateRace(h, '5241434532303236', when, EncodeDate(1999, 12, 31), 0);
    8: SkylarkChecked.SKM_ConfirmRace(h, '5241434532303236', 70000, seven);
    9: SkylarkChecked.SKM_ConfirmRace(h, '5241434532303236', 12, seven);
    10: SkylarkChecked.SK_ConnectEx(h, StringOfChar('x', 17));
    11: SkylarkChecked.SKM_SetSiteInfo(h, '00000001', '52.37000000', '004.89000000');
  end;
end;

procedure TestCheckedLayer;
var
  h, count: SK_ULONG;
  i: Integer;
  refused: ESkylarkArgument;
  start: TDateTime;
  body, lead: AnsiString;
  arrival: TDateTime;
  zeros: array[0..7] of Byte = (0, 0, 0, 0, 0, 0, 0, 0);
begin
  h := CLV_Open(CLV_KIND_M);
  for i := 0 to MistakeCount - 1 do
  begin
    refused := nil;
    try
      Mistake(h, i);
    except
      on e: ESkylarkArgument do refused := ESkylarkArgument.Make(e.Export, e.Argument, e.Message);
    end;
    Check('refused: ' + MistakeArgument[i] + ' (' + MistakeWords[i] + ')', (refused <> nil)
          and (refused.Argument = MistakeArgument[i]) and (Pos(MistakeWords[i], refused.Message) > 0)
          and (Pos(refused.Export + ': ' + MistakeArgument[i] + ' ', refused.Message) > 0));
    refused.Free;
  end;

  { A ClockLink failure is ClockLink's, with its code and words. }
  try
    SkylarkChecked.SKM_GetRaceCount(h, count);
    Check('not authenticated: raised', False);
  except
    on e: ESkylarkError do
      Check('not authenticated: ClockLink''s, in words', (e.RefusedBy = skClockLink)
            and (e.ErrorCode = CLV_ERR_NOT_AUTHENTICATED) and (e.ErrorName = 'CLV_ERR_NOT_AUTHENTICATED')
            and (e.ErrorText <> '') and (Pos(e.ErrorText, e.Message) > 0));
  end;
  CLV_Close(h);

  { A tampered reply is the library's. }
  h := CLV_Open(CLV_KIND_M);
  start := EncodeDateTime(2026, 5, 16, 6, 0, 0, 0);
  SkylarkChecked.SK_InitDevEx(h, 'pigeon42');
  SkylarkChecked.SK_ConnectEx(h, 'pigeon42');
  SkylarkChecked.SKM_CreateRace(h, '5241434532303236', start + 1 / 24, start + 15 / 24, 180000);
  SkylarkChecked.SKM_AddRaceCard(h, '2026A00010010000');
  SkylarkChecked.SKM_ConfirmRace(h, '5241434532303236', 1, zeros);
  CLV_RecordArrival(h, 0, '2026A0001001', start + 3 / 24);
  CLV_SetFault(h, CLV_FAULT_TAMPER, 40);
  try
    SkylarkChecked.SKM_GetRaceRecord(h, 0, 0, body, arrival, lead);
    Check('tampered reply: raised', False);
  except
    on e: ESkylarkError do
      Check('tampered reply: the library''s', (e.RefusedBy = skLibrary) and (e.ErrorName = ''));
  end;
  SkylarkChecked.SKM_GetRaceRecord(h, 0, 0, body, arrival, lead);
  Check('intact reply: delivered', (Copy(body, 1, 12) = '2026A0001001') and (SecondsBetween(arrival, start + 3 / 24) = 0));
  CLV_Close(h);
end;

begin
  TestCodecsAndRecords;
  TestDecoratedExport;
  TestVirtualClock;
  TestCheckedLayer;
  WriteLn(passed, ' passed, ', failed, ' failed');
  if failed > 0 then Halt(1);
end.
