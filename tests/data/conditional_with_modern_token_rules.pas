{$IFDEF FPC}x := a/b;// it's
{ a { nested } b }r.index := 1;{$ELSE}y := 2;{ {$ENDIF} }'{$ENDIF}'
{$ENDIF}{$mode delphi}{ a { b } c{$IFDEF FPC_DELPHI}operator{$ENDIF}
{$mode objfpc}{$IFNDEF FPC_OBJFPC}{$mode tp}{$ENDIF}{ { } }operator