{ A Free Pascal host written against the Pascal unit: crypto results against known
  answers made with openssl (see host_checks.c), a verification through the simulated
  sensor, and the string the library hands out read as a code-paged AnsiString. }
program host_fpc;

{$MODE DELPHI}

uses
  Mivex;

const
  Key: AnsiString = '0123456789abcdef0123456789ABCDEF';
  CipherHex = '4B13EEA710D9216505CD1F667E31B068';
  AbcDigest = 'BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD';

var
  Failures: Integer = 0;

procedure Check(Ok: Boolean; const What: AnsiString);
begin
  if Ok then
    WriteLn('fpc: ok   ', What)
  else
  begin
    WriteLn('fpc: FAIL ', What);
    Inc(Failures);
  end;
end;

procedure CryptoChecks;
var
  Plain, Hex, Back: AnsiString;
  OutLen: Integer;
begin
  SetLength(Hex, 65);
  Check(EncryptSha256(PAnsiChar('abc'), 3, PAnsiChar(Hex)) and (AnsiString(PAnsiChar(Hex)) = AbcDigest),
    'EncryptSha256(''abc'') is the published digest');

  Plain := 'Mivex'#0'host'#10;
  SetLength(Hex, 33);
  OutLen := -1;
  Check((EnCryptData(PAnsiChar(Key), PAnsiChar(Plain), Length(Plain), PAnsiChar(Hex), OutLen) = 0)
    and (OutLen = 32) and (AnsiString(PAnsiChar(Hex)) = CipherHex), 'EnCryptData gives openssl''s ciphertext');

  SetLength(Back, 16);
  OutLen := -1;
  Check((DeCryptData(PAnsiChar(Key), CipherHex, 32, PAnsiChar(Back), OutLen) = 0) and (OutLen = 11),
    'DeCryptData returns 11 bytes');
  SetLength(Back, 11);
  Check(Back = Plain, 'DeCryptData restores the bytes, NUL included');
  OutLen := -7;
  Check((DeCryptData(PAnsiChar(Key), CipherHex, 0, PAnsiChar(Back), OutLen) = MIVEX_DECRYPT_FAILED)
    and (OutLen = -7), 'DeCryptData refuses an empty ciphertext');
end;

procedure StringChecks;
var
  Held: TMivexString;
  Text: AnsiString;
  CodePage, ElementSize, Refs, Len: Integer;
{$IFDEF CPU32}
  View: AnsiString;
{$ENDIF}
begin
  Held := nil;
  Check(GetFPVerifyTempString(Held) = MIVEX_OK, 'GetFPVerifyTempString returns 0');
  Check(Held <> nil, 'the variable holds a string');
  if Held = nil then
    Exit;
  { The 12 bytes in front of the characters: code page, element size, count, length. }
  CodePage := PWord(Held - 12)^;
  ElementSize := PWord(Held - 10)^;
  Refs := PLongInt(Held - 8)^;
  Len := PLongInt(Held - 4)^;
  WriteLn('fpc: string header: code page ', CodePage, ', element size ', ElementSize,
    ', references ', Refs, ', length ', Len);
  Check((CodePage = 0) and (ElementSize = 1), 'code page 0 and element size 1');
  Check((Refs = 1) and (Len = Integer(StrLen(Held))), 'one reference; the length is the text up to its NUL');
{$IFDEF CPU32}
  { A 32-bit runtime's AnsiString has exactly this header: look at the library's string
    through the runtime's own functions without taking a reference, then let go of the
    view without the runtime freeing it. }
  Pointer(View) := Held;
  Check((StringCodePage(View) = CP_ACP) or (StringCodePage(View) = DefaultSystemCodePage),
    'the runtime reads the ANSI code page');
  Check((StringElementSize(View) = 1) and (StringRefCount(View) = 1) and (Length(View) = Len),
    'the runtime reads element size 1, one reference and the length');
  Pointer(View) := nil;
{$ENDIF}
  Text := MivexTakeString(Held);
  Check(Held = nil, 'MivexTakeString releases the library''s string');
  Check((Length(Text) = Len) and (Text[1] <> '='), 'the copied text is the template');
end;

procedure VerifyChecks;
var
  Template: AnsiString;
  Buf: array[0..65535] of AnsiChar;
begin
  Check((MivexVerifyTemplate(Template) = MIVEX_OK) and (Length(Template) > 0),
    'MivexVerifyTemplate returns the template as a host string');
  Buf[0] := #0;
  Check((GetFPVerifyTemp(@Buf[0]) = MIVEX_OK) and (StrLen(PAnsiChar(@Buf[0])) > 0),
    'GetFPVerifyTemp fills the buffer');
end;

begin
  CryptoChecks;
  StringChecks;
  VerifyChecks;
  if Failures = 0 then
    WriteLn('fpc: all checks passed')
  else
    WriteLn('fpc: FAILED');
  Halt(Ord(Failures <> 0));
end.
