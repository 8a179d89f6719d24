{ Mivex.pas - the exports of Mivex.dll for Delphi and Free Pascal hosts (32-bit).

  Counted-string arguments are AnsiString: Pascal's own AnsiString has the form the
  library reads (reference count and length in front of the characters), so a host
  passes its strings as they are.

  Strings the library hands out (GetFPVerifyTempString) belong to the library. They
  carry the 12-byte header code-paged AnsiStrings have (code page 0, element size 1,
  reference count, length), so Pascal reads them correctly, but the host's memory
  manager must never free them: they are held in a TMivexString variable, which
  Pascal does not manage, copied out with MivexTakeString (which releases the
  library's string with GetPdtLID), or taken in one step with MivexVerifyTemplate. }
unit Mivex;

{$IFDEF FPC}
  {$MODE DELPHI}
{$ENDIF}

interface

const
  MivexDll = 'Mivex.dll';

  { Results of the template functions. }
  MIVEX_OK = 0;
  MIVEX_REFUSED = 404;      { another dialog of the library is open, or the enrollment
                              was not completed }
  MIVEX_NO_TEMPLATE = 504;  { the dialog ended without a template (for verification
                              also cancelled or failed) }
  { Results of the cipher functions. }
  MIVEX_DECRYPT_FAILED = 1;
  MIVEX_ENCRYPT_FAILED = 2;

type
  { A counted-string variable the library writes: nil or a string of the library. }
  TMivexString = PAnsiChar;

{ Data protection: AES-256-CBC with the first 32 bytes of KeyText as the key (a shorter
  key text is refused), hex text out; SHA-256 as 64 hex characters and a NUL. }
function EnCryptData(KeyText: PAnsiChar; Data: Pointer; DataLen: Integer; OutHex: PAnsiChar;
  var OutLen: Integer): Integer; stdcall; external MivexDll;
function DeCryptData(KeyText: PAnsiChar; HexText: PAnsiChar; HexLen: Cardinal; OutData: Pointer;
  var OutLen: Integer): Integer; stdcall; external MivexDll;
function EncryptSha256(Data: Pointer; DataLen: Integer; OutHex: PAnsiChar): Boolean; stdcall;
  external MivexDll;

{ Releases the string Output holds and leaves it nil; Input has no effect. }
procedure GetPdtLID(var Output: TMivexString; Input: PAnsiChar); stdcall; external MivexDll;

{ Verification: one modal dialog on the calling thread. }
function GetFPVerifyTempString(var TemplateVar: TMivexString): Integer; stdcall; external MivexDll;
function GetFPVerifyTemp(TemplateBuf: PAnsiChar): Integer; stdcall; external MivexDll;

{ Enrollment: one modal dialog on the calling thread. TemplateBuf must hold the whole
  enrollment string and a NUL. The AnsiString variants trim blanks and control
  characters from both ends of each text and refuse (404) while a dialog is open. }
function GetFPEnrollTemp(const UserID, EnrolledFinger, FingerCodes: AnsiString; Minimum,
  Maximum: Integer; TemplateBuf: PAnsiChar): Integer; stdcall; external MivexDll;
function GetFPEnrollTempBySet(const UserID, EnrolledFinger, FingerCodes,
  FingerSequence: AnsiString; Minimum, Maximum: Integer; TemplateBuf: PAnsiChar): Integer;
  stdcall; external MivexDll;
function GetFPEnrollTempP(UserID, EnrolledFinger, FingerCodes: PAnsiChar; Minimum,
  Maximum: Integer; TemplateBuf: PAnsiChar): Integer; stdcall; external MivexDll;
function GetFPEnrollTempBySetP(UserID, EnrolledFinger, FingerCodes, FingerSequence: PAnsiChar;
  Minimum, Maximum: Integer; TemplateBuf: PAnsiChar): Integer; stdcall; external MivexDll;

{ Copies the text out of a library string and releases it; Held is nil afterwards. }
function MivexTakeString(var Held: TMivexString): AnsiString;

{ One verification; on MIVEX_OK Template holds the template text as a host string. }
function MivexVerifyTemplate(out Template: AnsiString): Integer;

implementation

function MivexTakeString(var Held: TMivexString): AnsiString;
var
  Len: Integer;
begin
  Result := '';
  if Held = nil then
    Exit;
  Len := PInteger(PAnsiChar(Held) - 4)^;
  SetLength(Result, Len);
  if Len > 0 then
    Move(Held^, Result[1], Len);
  GetPdtLID(Held, nil);
end;

function MivexVerifyTemplate(out Template: AnsiString): Integer;
var
  Held: TMivexString;
begin
  Held := nil;
  Result := GetFPVerifyTempString(Held);
  Template := MivexTakeString(Held);
end;

end.
