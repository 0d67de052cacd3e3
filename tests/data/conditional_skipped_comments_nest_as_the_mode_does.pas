{$IFDEF NOTDEF}a { { } {$ENDIF}b
{$mode objfpc}{$IFDEF NOTDEF}c { { } {$ENDIF} }d (* (* *) {$ENDIF} *)e{$ENDIF}f