x (* abc
