{ Support of the checked layer (SkylarkChecked): the argument checks, the
  errors, and how a failed export is attributed to ClockLink, the library or
  RingReader. }
unit SkylarkCheck;

{$mode objfpc}{$H+}

interface

uses SysUtils, DateUtils, Math, dynlibs, Skylark, ClockLink;

type
  { Who refused a call. skUndecided: ClockLink's code was non-zero before the
    call and did not change, so a repeated ClockLink failure cannot be told
    from a reply the library refused. }
  TSide = (skClockLink, skLibrary, skRingReader, skUndecided);

  { An argument refused before anything is called. }
  ESkylarkArgument = class(Exception)
  public
    Export, Argument: string;
    constructor Make(const anExport, anArgument, problem: string);
  end;

  { An export reported failure (result 0). ErrorCode: IFD_GetErrCode after the
    call (0 and HasErrorCode false for exports on no clock). }
  ESkylarkError = class(Exception)
  public
    Export: string;
    Status: BOOL16;
    RefusedBy: TSide;
    HasErrorCode: Boolean;
    ErrorCode: SK_ULONG;
    ErrorName, ErrorText, Reason: string;
  end;

function CheckHex(const export, name: string; const value: AnsiString; digits: Integer): AnsiString;
function CheckNumber(const export, name: string; value: Int64; bits: Integer): SK_ULONG;
function CheckText(const export, name: string; const value: AnsiString; maxChars: Integer;
                   const chars, form: AnsiString): AnsiString;
function CheckBytes(const export, name: string; const value: array of Byte; size: Integer): TBytes;
function CheckDate(const export, name: string; value: TDateTime): Double;

{ CLV_ErrorText of our stand-in (looked up at run time, so a host also loads
  over another ClockLink), else the code table's meaning. }
function ClockLinkErrorText(code: SK_ULONG): string;

{ IFD_GetErrCode before a call on a clock (0 for other families). }
function ErrorCodeBefore(const family: string; handle: SK_ULONG): SK_ULONG;
{ Raises ESkylarkError when status is 0, saying who refused: for exports whose
  rule judges the reply, a code that changed during the call is ClockLink's
  failure, a code still 0 the library's refusal of the reply. }
procedure Judge(const export, family, rule: string; handle, before: SK_ULONG; status: BOOL16);

implementation

constructor ESkylarkArgument.Make(const anExport, anArgument, problem: string);
begin
  inherited Create(anExport + ': ' + anArgument + ' ' + problem);
  Export := anExport;
  Argument := anArgument;
end;

function CheckHex(const export, name: string; const value: AnsiString; digits: Integer): AnsiString;
var i: Integer;
begin
  if digits = 0 then Exit(value);
  for i := 1 to Length(value) do
    if not (value[i] in ['0'..'9', 'A'..'F', 'a'..'f']) then
      raise ESkylarkArgument.Make(export, name, Format('must be exactly %d hex digits, got "%s" (character ''%s'' ' +
        'at position %d is not a hex digit)', [digits, value, value[i], i - 1]));
  if Length(value) <> digits then
    raise ESkylarkArgument.Make(export, name, Format('must be exactly %d hex digits, got "%s" (%d digits)',
      [digits, value, Length(value)]));
  Result := UpperCase(value);
end;

function CheckNumber(const export, name: string; value: Int64; bits: Integer): SK_ULONG;
var limit: Int64;
begin
  limit := (Int64(1) shl bits) - 1;
  if (value < 0) or (value > limit) then
    raise ESkylarkArgument.Make(export, name, Format('must be 0 to %d (a %d-bit field), got %d', [limit, bits, value]));
  Result := SK_ULONG(value);
end;

function CheckText(const export, name: string; const value: AnsiString; maxChars: Integer;
                   const chars, form: AnsiString): AnsiString;
var i: Integer; ok: Boolean;
begin
  if Pos(#0, value) > 0 then raise ESkylarkArgument.Make(export, name, 'must not contain a NUL character');
  if (maxChars > 0) and (Length(value) > maxChars) then
    raise ESkylarkArgument.Make(export, name, Format('must be at most %d characters (the clock uses %d), got %d',
      [maxChars, maxChars, Length(value)]));
  if chars <> '' then
    for i := 1 to Length(value) do
      if Pos(value[i], chars) = 0 then
        raise ESkylarkArgument.Make(export, name, Format('may hold only %s, got ''%s''', [chars, value[i]]));
  if form <> '' then
  begin
    ok := Length(value) = Length(form);
    for i := 1 to Length(form) do
      if ok then
        if form[i] in ['D', 'F'] then ok := value[i] in ['0'..'9'] else ok := value[i] = form[i];
    if not ok then
      raise ESkylarkArgument.Make(export, name, Format('must have the form %s (digits), got "%s"', [form, value]));
  end;
  Result := value;
end;

function CheckBytes(const export, name: string; const value: array of Byte; size: Integer): TBytes;
var i: Integer;
begin
  if (size >= 0) and (Length(value) <> size) then
    raise ESkylarkArgument.Make(export, name, Format('must be exactly %d bytes, got %d', [size, Length(value)]));
  Result := nil;
  SetLength(Result, Max(Length(value), 1));
  Result[0] := 0;
  for i := 0 to High(value) do Result[i] := value[i];
end;

function CheckDate(const export, name: string; value: TDateTime): Double;
begin
  if IsNan(value) or (value < EncodeDate(2000, 1, 1)) or (value >= EncodeDate(2100, 1, 1)) then
    raise ESkylarkArgument.Make(export, name, 'must lie in 2000 to 2099 (a clock''s dates), got ' +
      FloatToStr(value));
  Result := value;
end;

type
  TErrorText = function(code: LongInt): PAnsiChar; stdcall;

function ClockLinkErrorText(code: SK_ULONG): string;
var lib: TLibHandle; fn: TErrorText; i: Integer;
begin
  Result := '';
  if ClvErrorName(code) = '' then Exit;
  lib := LoadLibrary(ClockLinkLib {$IFNDEF WINDOWS} + '.so' {$ENDIF});
  if lib = NilHandle then lib := LoadLibrary('lib' + ClockLinkLib + '.so');
  fn := nil;
  if lib <> NilHandle then fn := TErrorText(GetProcedureAddress(lib, 'CLV_ErrorText'));
  if Assigned(fn) then Exit(StrPas(fn(LongInt(code))));
  for i := Low(CLV_ERRORS) to High(CLV_ERRORS) do
    if CLV_ERRORS[i].Code = LongInt(code) then Exit(CLV_ERRORS[i].Meaning);
end;

function OnClock(const family: string): Boolean;
begin
  Result := (family <> 'codec') and (family <> 'record') and (family <> 'ring');
end;

function ErrorCodeBefore(const family: string; handle: SK_ULONG): SK_ULONG;
begin
  if OnClock(family) then Result := IFD_GetErrCode(handle) else Result := 0;
end;

function ReplyCheck(const rule: string): string;
begin
  if rule = 'exact-length' then Result := 'the clock''s reply did not have the expected length'
  else if rule = 'minimum-length' then Result := 'the clock''s reply was shorter than the minimum'
  else if rule = 'verified' then
    Result := 'the clock''s reply had the wrong length or its verification code does not answer this call''s challenge'
  else if rule = 'device-state' then Result := 'the clock''s reply was not the one state byte'
  else Result := '';
end;

procedure Judge(const export, family, rule: string; handle, before: SK_ULONG; status: BOOL16);
var e: ESkylarkError; after: SK_ULONG; check: string;
begin
  if status <> 0 then Exit;
  e := ESkylarkError.Create('');
  e.Export := export;
  e.Status := status;
  if family = 'ring' then
  begin
    e.RefusedBy := skRingReader;
    e.Reason := 'RingReader failed (no tag in the field, or a tag operation failed)';
  end
  else if not OnClock(family) then
  begin
    e.RefusedBy := skLibrary;
    e.Reason := 'the library refused: the record did not pass its checks';
  end
  else
  begin
    after := IFD_GetErrCode(handle);
    e.HasErrorCode := True;
    e.ErrorCode := after;
    e.ErrorName := ClvErrorName(after);
    if after <> 0 then e.ErrorText := ClockLinkErrorText(after);
    check := ReplyCheck(rule);
    if (check <> '') and (after = before) and (after = 0) then
    begin
      e.RefusedBy := skLibrary;
      e.Reason := 'the library refused the reply: ' + check;
    end
    else if (check <> '') and (after = before) then
    begin
      e.RefusedBy := skUndecided;
      e.Reason := Format('ClockLink''s code is still %d %s from an earlier failure: either ClockLink failed again ' +
        'the same way, or the library refused the reply (%s)', [after, e.ErrorName, check]);
    end
    else
    begin
      e.RefusedBy := skClockLink;
      e.Reason := Format('ClockLink refused: error %d', [after]);
      if e.ErrorName <> '' then e.Reason := e.Reason + ' ' + e.ErrorName;
      if e.ErrorText <> '' then e.Reason := e.Reason + ' (' + e.ErrorText + ')';
    end;
  end;
  e.Message := Format('%s failed (result %d): %s', [export, status, e.Reason]);
  raise e;
end;

end.
