if x:='It''s'; {a}{b} y/2 &
// end