// Set 0 in oT0 and, scaled by the detail scale c5, in oT1.
mul r5, v3, c94
mov oT0, r5
mul oT1, r5, c5
