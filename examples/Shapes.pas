{ Shapes: a small unit to try Tessaline on. }
unit Shapes;

{$mode objfpc}{$H+}

interface

uses
  SysUtils, Math;

type
  TPoint2D = record
    X, Y: Double;
  end;

  { A shape knows its area and can describe itself. }
  TShape = class
  private
    FName: string;
  public
    constructor Create(const AName: string);
    function Area: Double; virtual; abstract;
    function Describe: string;
    property Name: string read FName;
  end;

  TCircle = class(TShape)
  private
    FCentre: TPoint2D;
    FRadius: Double;
  public
    constructor Create(const ACentre: TPoint2D; ARadius: Double);
    function Area: Double; override;
  end;

const
  MaxShapes = $FF;       // at most 255 shapes
  Greeting = 'It''s a "shape" <test> & more';
  CRLF = #13#10;

implementation

constructor TShape.Create(const AName: string);
begin
  inherited Create;
  FName := AName;
end;

function TShape.Describe: string;
begin
  Result := Format('%s with area %.2f', [FName, Area]) + CRLF;
end;

constructor TCircle.Create(const ACentre: TPoint2D; ARadius: Double);
begin
  inherited Create('circle');
  FCentre := ACentre;
  FRadius := ARadius;
end;

(* The area grows with the square of the radius. *)
function TCircle.Area: Double;
begin
  if FRadius <= 0.0 then
    Exit(0);
  Result := Pi * Sqr(FRadius);
end;

end.
