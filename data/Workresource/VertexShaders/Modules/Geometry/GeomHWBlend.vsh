// Blend shapes, then two-joint skinning as GeomHWSkin. The four target
// streams hold offsets from the base vertex: position targets in v6-v9,
// normal targets in v10-v13. Position = v0 + c26.x x (c24.x t1 + c24.y t2 +
// c24.z t3 + c24.w t4), the normal likewise. Hands on r0 and r1.
mul r9.xyz, v6, c24.x
mad r9.xyz, v7, c24.y, r9
mad r9.xyz, v8, c24.z, r9
mad r9.xyz, v9, c24.w, r9
mad r9.xyz, r9, c26.x, v0
mov r9.w, c1.w
mul r10.xyz, v10, c24.x
mad r10.xyz, v11, c24.y, r10
mad r10.xyz, v12, c24.z, r10
mad r10.xyz, v13, c24.w, r10
mad r10.xyz, r10, c26.x, v1
mov r10.w, c0.w
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
dp4 r0.x, r9, r5
dp4 r0.y, r9, r6
dp4 r0.z, r9, r7
mov r0.w, c1.w
dp3 r1.x, r10, r5
dp3 r1.y, r10, r6
dp3 r1.z, r10, r7
mov r1.w, c0.w
m4x4 oPos, r0, c6
