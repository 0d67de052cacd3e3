{ Tokenises Pascal files with Free Pascal's own scanner (fcl-passrc's
  PScanner) and prints each token's byte range and kind, for the
  comparison with the modern dialect (ScanCompare.cpp).

  Usage: pscan-tokens LISTFILE   (one source file name a line)

  For each file: "F name", then one line per token "KIND START END"
  (0-based byte offsets, END past the token's last byte), then "E" or,
  when PScanner gives up on the file, "X START message". KIND is one of
  C comment or directive, R a keyword of the compiler's in the mode in
  force (its token table, compiler/tokens.pas), I any other word,
  S string or character code, N number, Y symbol, H ^A-style character.
  Whitespace and line ends are not printed; code that PScanner skips
  ($IFDEF branches not taken) yields no tokens at all. Include files are
  not followed: an "$I" stays a directive of the file it is in. The
  scanner starts in mode FPC with the defines of Free Pascal on
  x86_64 Linux, as "fpc" on this machine. }
program pscantokens;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, PScanner;

type
  TTokenScanner = class(TPascalScanner)
  protected
    procedure HandleIncludeFile(Param: String); override;
  end;

procedure TTokenScanner.HandleIncludeFile(Param: String);
begin
  // Not followed: the tokens compared are the file's own.
end;

const
  AllModes: array[0..56] of string = (
    'and', 'array', 'begin', 'case', 'const', 'div', 'do', 'downto', 'else', 'end', 'file',
    'for', 'function', 'goto', 'if', 'in', 'label', 'mod', 'nil', 'not', 'of', 'or',
    'packed', 'procedure', 'program', 'record', 'repeat', 'set', 'then', 'to', 'type',
    'until', 'var', 'while', 'with', 'xor', 'asm', 'shl', 'shr', 'unit', 'uses', 'object',
    'string', 'exports', 'library', 'inherited', 'interface', 'threadvar', 'destructor',
    'constructor', 'implementation', 'resourcestring', 'bitpacked', 'otherwise',
    'label', 'file', 'set');

function IsKeyword(const W: string; Switches: TModeSwitches): Boolean;
var
  L: string;
  K: Integer;
begin
  L := LowerCase(W);
  for K := Low(AllModes) to High(AllModes) do
    if AllModes[K] = L then
      Exit(True);
  if (L = 'as') or (L = 'is') or (L = 'class') or (L = 'dispinterface') then
    Exit(msClass in Switches);
  if (L = 'try') or (L = 'raise') or (L = 'except') or (L = 'finally') then
    Exit(msExcept in Switches);
  if L = 'property' then
    Exit(msProperty in Switches);
  if (L = 'initialization') or (L = 'finalization') then
    Exit(msInitFinal in Switches);
  if (L = 'operator') or (L = 'cppclass') then
    Exit(msFpc in Switches);
  if (L = 'objcclass') or (L = 'objcprotocol') or (L = 'objccategory') then
    Exit((msObjectiveC1 in Switches) or (msObjectiveC2 in Switches));
  if (L = 'univ') or (L = 'return') then
    Exit(msMac in Switches);
  Result := False;
end;

var
  Content: string;
  LineStarts: array of Integer;

procedure SplitLines;
// As PScanner's stream reader does: a line ends at CR, LF or CR LF.
var
  P, N: Integer;
begin
  N := 0;
  SetLength(LineStarts, Length(Content) + 2);
  LineStarts[N] := 0;
  Inc(N);
  P := 1;
  while P <= Length(Content) do
  begin
    if Content[P] in [#10, #13] then
    begin
      if (Content[P] = #13) and (P < Length(Content)) and (Content[P + 1] = #10) then
        Inc(P);
      LineStarts[N] := P;
      Inc(N);
    end;
    Inc(P);
  end;
  SetLength(LineStarts, N);
end;

function Offset(Row, Column: Integer): Integer;
begin
  if (Row < 1) or (Row > Length(LineStarts)) then
    Exit(Length(Content));
  Result := LineStarts[Row - 1] + Column - 1; { PScanner counts columns from 1 }
end;

function KindOf(T: TToken; const Text: string; Switches: TModeSwitches): Char;
begin
  case T of
    tkComment: Result := 'C';
    tkIdentifier: if IsKeyword(Text, Switches) then Result := 'R' else Result := 'I';
    tkString: Result := 'S';
    tkNumber: Result := 'N';
    tkChar: Result := 'H';
    tkBraceOpen..tkAtAt: Result := 'Y';
  else
    if (T >= tkabsolute) and (T <= tkxor) then
    begin
      { "<<" and ">>" come as the keywords shl and shr }
      if (Text <> '') and not (Text[1] in ['A'..'Z', 'a'..'z', '_']) then
        Result := 'Y'
      else if IsKeyword(Text, Switches) then
        Result := 'R'
      else
        Result := 'I';
    end
    else
      Result := '?';
  end;
end;

procedure ScanFile(const Name: string);
var
  Resolver: TStreamResolver;
  Scanner: TTokenScanner;
  Stream: TStringStream;
  T: TToken;
  Start, Stop: Integer;
  Text: string;
begin
  with TFileStream.Create(Name, fmOpenRead or fmShareDenyNone) do
    try
      SetLength(Content, Size);
      if Size > 0 then
        ReadBuffer(Content[1], Size);
    finally
      Free;
    end;
  SplitLines;
  WriteLn('F ', Name);
  Stream := TStringStream.Create(Content);
  Resolver := TStreamResolver.Create;
  Resolver.OwnsStreams := True;
  Resolver.AddStream(Name, Stream);
  Scanner := TTokenScanner.Create(Resolver);
  try
    try
      Scanner.SkipWhiteSpace := True;
      Scanner.SkipComments := False;
      Scanner.AddDefine('FPC');
      Scanner.AddDefine('UNIX');
      Scanner.AddDefine('LINUX');
      Scanner.AddDefine('CPUX86_64');
      Scanner.AddDefine('CPUAMD64');
      Scanner.AddDefine('CPU64');
      Scanner.AddDefine('ENDIAN_LITTLE');
      Scanner.AddDefine('FPC_LITTLE_ENDIAN');
      Scanner.AddDefine('VER3');
      Scanner.AddDefine('VER3_2');
      Scanner.AddDefine('VER3_2_2');
      Scanner.OpenFile(Name);
      repeat
        T := Scanner.FetchToken;
        if T = tkEOF then
          Break;
        if T in [tkWhitespace, tkLineEnding, tkTab] then
          Continue;
        Start := Offset(Scanner.CurTokenPos.Row, Scanner.CurTokenPos.Column);
        Stop := Offset(Scanner.CurRow, Scanner.CurColumn);
        Text := Scanner.CurTokenString;
        WriteLn(KindOf(T, Text, Scanner.CurrentModeSwitches), ' ', Start, ' ', Stop);
      until False;
      WriteLn('E');
    except
      on Ex: Exception do
        WriteLn('X ', Offset(Scanner.CurRow, Scanner.CurColumn), ' ',
          StringReplace(Ex.Message, LineEnding, ' ', [rfReplaceAll]));
    end;
  finally
    Scanner.Free;
    Resolver.Free;
  end;
end;

var
  List: TStringList;
  K: Integer;
begin
  List := TStringList.Create;
  try
    List.LoadFromFile(ParamStr(1));
    for K := 0 to List.Count - 1 do
      if List[K] <> '' then
        ScanFile(List[K]);
  finally
    List.Free;
  end;
end.
