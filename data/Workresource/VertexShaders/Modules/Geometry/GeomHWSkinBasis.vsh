// Position, normal and tangent basis skinned by two joints, as GeomHWSkin:
// the two joints' rows are blended by the weight first (r5-r7), then
// applied. Hands on r0, r1 and the basis in r2 (tangent) and r3 (binormal).
mad r4, v14, c23.xxxx, c23.yyyy
add r8.x, c1.x, -v15.x
#ifdef _VS_2_0
mova a0.x, r4.x
#else
mov a0.x, r4.x
#endif
mul r5, c[a0.x + 0], v15.x
mul r6, c[a0.x + 1], v15.x
mul r7, c[a0.x + 2], v15.x
#ifdef _VS_2_0
mova a0.x, r4.y
#else
mov a0.x, r4.y
#endif
mad r5, c[a0.x + 0], r8.x, r5
mad r6, c[a0.x + 1], r8.x, r6
mad r7, c[a0.x + 2], r8.x, r7
dp4 r0.x, v0, r5
dp4 r0.y, v0, r6
dp4 r0.z, v0, r7
mov r0.w, c1.w
dp3 r1.x, v1, r5
dp3 r1.y, v1, r6
dp3 r1.z, v1, r7
mov r1.w, c0.w
dp3 r2.x, v7, r5
dp3 r2.y, v7, r6
dp3 r2.z, v7, r7
mov r2.w, c0.w
dp3 r3.x, v8, r5
dp3 r3.y, v8, r6
dp3 r3.z, v8, r7
mov r3.w, c0.w
m4x4 oPos, r0, c6
