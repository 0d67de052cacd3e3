if a[1]  then
	x := 'y'; {z}