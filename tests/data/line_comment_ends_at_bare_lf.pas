a // x<y
b // z
