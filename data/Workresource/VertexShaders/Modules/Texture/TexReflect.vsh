// Reflection: oT0 = set 0 moved by (c10.w, c11.w) (the bump map); oT1-oT3
// the rows of the tangent-to-world matrix (tangent, binormal and normal
// turned by c10-c12) with the vector to the camera (c13-c15) in w.
mul r5, v3, c94
mov r6, c0
mov r6.x, c10.w
mov r6.y, c11.w
add oT0, r5, r6
dp3 oT1.x, r2, c10
dp3 oT1.y, r3, c10
dp3 oT1.z, r1, c10
dp4 oT1.w, r0, c13
dp3 oT2.x, r2, c11
dp3 oT2.y, r3, c11
dp3 oT2.z, r1, c11
dp4 oT2.w, r0, c14
dp3 oT3.x, r2, c12
dp3 oT3.y, r3, c12
dp3 oT3.z, r1, c12
dp4 oT3.w, r0, c15
