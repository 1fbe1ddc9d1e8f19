// Set 0 moved by c12, c13 in oT0; set 0 times the detail scale c5 in oT1.
mul r5, v3, c94
mad oT0, r5, c12, c13
mul oT1, r5, c5
