x {abc
y