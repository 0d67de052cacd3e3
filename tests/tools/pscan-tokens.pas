{ Tokenises Pascal files with Free Pascal's own scanner (fcl-passrc's
  PScanner) and prints each token's byte range and kind, for the
  comparison with the modern dialect (ScanCompare.cpp).

  Usage: pscan-tokens LISTFILE [DEFINESFILE]
  (one source file name a line; one symbol a line, NAME or NAME=VALUE)

  For each file: "F name", then one line per token "KIND START END"
  (0-based byte offsets, END past the token's last byte), then "E" or,
  when PScanner gives up on the file, "X START message". KIND is one of
  C comment or directive, R a keyword of the compiler's in the mode in
  force (its token table, compiler/tokens.pas), I any other word,
  S string or character code, N number, Y symbol, H ^A-style character.
  Whitespace and line ends are not printed; code that PScanner skips
  ($IFDEF branches not taken) yields no tokens at all. Include files are
  not followed: an "$I" stays a directive of the file it is in. The
  scanner starts in mode FPC with the symbols of DEFINESFILE defined
  (those of Free Pascal 3.2.2 on x86_64 Linux, as Tessaline's
  "--target fpc" has them; a symbol with a value as a macro, which
  PScanner's $IF compares and $IFDEF finds defined), or without it with
  a few of them. }
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
  Defines: TStringList;

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

const
  ModeSymbols: array[0..5] of string = (
    'FPC_DELPHI', 'FPC_TP', 'FPC_OBJFPC', 'FPC_MACPAS', 'FPC_ISO', 'FPC_EXTENDEDPASCAL');

{ The compiler defines a symbol for the mode in force ("SetCompileMode" in
  compiler/scanner.pas); PScanner does not, so a "$mode" directive read in
  active code does it here, before the next directive is read. }
procedure FollowMode(Scanner: TPascalScanner; const Directive: string);
var
  D, Mode, Symbol: string;
  K: Integer;
begin
  D := LowerCase(Directive);
  if Copy(D, 1, 2) = '{$' then
    Delete(D, 1, 2)
  else if Copy(D, 1, 3) = '(*$' then
    Delete(D, 1, 3)
  else
    Exit;
  if (Copy(D, 1, 4) <> 'mode') or (Length(D) < 5) or not (D[5] in [' ', #9]) then
    Exit;
  Delete(D, 1, 5);
  D := TrimLeft(D);
  Mode := '';
  K := 1;
  while (K <= Length(D)) and (D[K] in ['a'..'z', '0'..'9', '_']) do
  begin
    Mode := Mode + D[K];
    Inc(K);
  end;
  if (Mode = 'delphi') or (Mode = 'delphiunicode') then Symbol := 'FPC_DELPHI'
  else if Mode = 'tp' then Symbol := 'FPC_TP'
  else if Mode = 'objfpc' then Symbol := 'FPC_OBJFPC'
  else if Mode = 'macpas' then Symbol := 'FPC_MACPAS'
  else if Mode = 'iso' then Symbol := 'FPC_ISO'
  else if Mode = 'extendedpascal' then Symbol := 'FPC_EXTENDEDPASCAL'
  else if Mode = 'fpc' then Symbol := ''
  else Exit;
  for K := Low(ModeSymbols) to High(ModeSymbols) do
    Scanner.RemoveDefine(ModeSymbols[K], True);
  if Symbol <> '' then
    Scanner.AddDefine(Symbol, True);
end;

procedure ScanFile(const Name: string);
var
  Resolver: TStreamResolver;
  Scanner: TTokenScanner;
  Stream: TStringStream;
  T: TToken;
  Start, Stop, K, Eq: Integer;
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
      for K := 0 to Defines.Count - 1 do
      begin
        Eq := Pos('=', Defines[K]);
        if Eq > 0 then
          Scanner.AddMacro(Copy(Defines[K], 1, Eq - 1), Copy(Defines[K], Eq + 1, MaxInt), True)
        else if Defines[K] <> '' then
          Scanner.AddDefine(Defines[K], True);
      end;
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
        { Operators made of symbols ("<<", ">>") come with no text of
          their own: their bytes tell them from the words they stand for. }
        if (Text = '') and (Stop > Start) then
          Text := Copy(Content, Start + 1, Stop - Start);
        WriteLn(KindOf(T, Text, Scanner.CurrentModeSwitches), ' ', Start, ' ', Stop);
        if (T = tkComment) and (Stop > Start) then
          FollowMode(Scanner, Copy(Content, Start + 1, Stop - Start));
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
  Defines := TStringList.Create;
  try
    if ParamCount >= 2 then
      Defines.LoadFromFile(ParamStr(2))
    else
      Defines.CommaText := 'FPC,UNIX,LINUX,CPUX86_64,CPUAMD64,CPU64,ENDIAN_LITTLE,' +
        'FPC_LITTLE_ENDIAN,VER3,VER3_2,VER3_2_2';
    List.LoadFromFile(ParamStr(1));
    for K := 0 to List.Count - 1 do
      if List[K] <> '' then
        ScanFile(List[K]);
  finally
    Defines.Free;
    List.Free;
  end;
end.
