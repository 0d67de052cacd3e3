begin
{c
d}