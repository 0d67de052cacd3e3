{a
b} x 'c'