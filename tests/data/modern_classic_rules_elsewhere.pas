a<>b/2; // c
beginning