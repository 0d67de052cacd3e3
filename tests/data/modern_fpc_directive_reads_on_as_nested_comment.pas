{$mode objfpc}{$ifdef X { a } b } c
{$I+ {x}} d
{$mode delphi}{$I+ {x} e