// Screen rectangles: the unit square in v0 is carried onto the rectangle in
// clip space by the scale c10 and the offset c11. r0 = v0, r1 = 0.
mov r0, v0
mov r1, c0
mad oPos, v0, c10, c11
