unit Demo;
{$mode objfpc}
interface
uses SysUtils;
type
  TPoint = record
    X, Y: Integer;
  end;
procedure Clear(var P: TPoint); // reset
implementation
(* set both to 0 *)
procedure Clear(var P: TPoint);
begin
  P.X := 0; P.Y := $1F;
  WriteLn('It''s', #13, 1.5);
  asm nop end;
end;
end.
