r1.index:=Name;
Message(s);
procedure P(Index:T);virtual;
property Items:string read F write F;default;
X:T absolute Y;