// Sets 0 to 2 in oT0 to oT2; set 0 times the detail scale c5 in oT3.
mul r5, v3, c94
mov oT0, r5
mul oT1, v4, c94
mul oT2, v5, c94
mul oT3, r5, c5
