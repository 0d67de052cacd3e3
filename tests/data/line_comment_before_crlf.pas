a//b
