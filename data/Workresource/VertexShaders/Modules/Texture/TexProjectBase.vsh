// Projector coordinates in oT0 as TexProject; set 0 (the base texture) in
// oT1.
dp4 r5.x, r0, c13
dp4 r5.y, r0, c14
mov r5.z, c0.z
dp4 r5.w, r0, c15
mov oT0, r5
mul oT1, v3, c94
