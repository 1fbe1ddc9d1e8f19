// Projector coordinates (s, t, 0, q) from the rows c13-c15, for a
// projected lookup.
dp4 r5.x, r0, c13
dp4 r5.y, r0, c14
mov r5.z, c0.z
dp4 r5.w, r0, c15
mov oT0, r5
