// Two lightmaps on the same coordinates, set 3, in oT0 and oT1.
mul r5, v6, c94
mov oT0, r5
mov oT1, r5
