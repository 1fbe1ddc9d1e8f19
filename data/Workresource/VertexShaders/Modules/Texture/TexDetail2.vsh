// Sets 0 and 1 in oT0 and oT1; set 0 times the detail scale c5 in oT2.
mul r5, v3, c94
mov oT0, r5
mul oT1, v4, c94
mul oT2, r5, c5
